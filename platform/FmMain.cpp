#include "FmMain.h"

#include "Glyphs.h"

TFmMain::TFmMain(TComponent* owner) : TForm(owner) {
    Name = "FmMain";
    Caption = "QUIL Library Test Platform";
    SetBounds(0, 0, 800, 600);
    Constraints.MinWidth = 600;
    Constraints.MinHeight = 450;
    Position = TPosition::DefaultPosOnly;
    Color = clSilver;
    Font = {"ＭＳ Ｐゴシック", TFontCharset::ShiftJis, 12, false, false, clWindowText};
    Icon = QuilIcon();

    Panel = new TPanel(this);
    Panel->Name = "Panel";
    Panel->SetParent(this);
    Panel->SetHeight(38);
    Panel->SetAlign(TAlign::Top);
    Panel->BevelOuter = TBevelCut::None;
    Panel->TabOrder = 0;

    SpBtnExit = new TSpeedButton(this);
    SpBtnExit->Name = "SpBtnExit";
    SpBtnExit->SetParent(Panel);
    SpBtnExit->SetBounds(8, 8, 23, 22);
    SpBtnExit->Glyph = ExitGlyph();
    SpBtnExit->NumGlyphs = 2;
    SpBtnExit->Hint = "Exit";
    SpBtnExit->ShowHint = true;
    SpBtnExit->Cancel = true;
    SpBtnExit->OnClick = [this](TObject* sender) { SpBtnExitClick(sender); };

    Label = new TLabel(this);
    Label->Name = "Label";
    Label->SetParent(Panel);
    Label->SetBounds(40, 8, 249, 22);
    Label->AutoSize = false;
    Label->Alignment = TAlignment::RightJustify;
    Label->Layout = TTextLayout::Center;

    SpBtnRun = new TSpeedButton(this);
    SpBtnRun->Name = "SpBtnRun";
    SpBtnRun->SetParent(Panel);
    SpBtnRun->SetBounds(296, 8, 23, 22);
    SpBtnRun->Glyph = RunGlyph();
    SpBtnRun->NumGlyphs = 2;
    SpBtnRun->Hint = "Run";
    SpBtnRun->ShowHint = true;
    SpBtnRun->Default = true;
    SpBtnRun->OnClick = [this](TObject* sender) { SpBtnRunClick(sender); };

    StatusBar = new TStatusBar(this);
    StatusBar->Name = "StatusBar";
    StatusBar->SetParent(this);
    StatusBar->SetHeight(19);

    Memo = new TMemo(this);
    Memo->Name = "Memo";
    Memo->SetParent(this);
    Memo->SetAlign(TAlign::Client);
    Memo->Font = {"Courier New", TFontCharset::Ansi, 13, false, false, clWindowText};
    Memo->ParentFont = false;
    Memo->ReadOnly = true;
    Memo->ScrollBars = TScrollStyle::Both;
    Memo->ImeMode = TImeMode::Disable;
    Memo->TabOrder = 1;

    Label->Caption = ProgramTitles.LabelCaption;
}

void TFmMain::SpBtnExitClick(TObject*) { Close(); }

void TFmMain::SpBtnRunClick(TObject*) {
    Memo->Lines->BeginUpdate();
    Memo->Lines->Clear();
    Memo->Lines->EndUpdate();
    RunSuites();
}

void TFmMain::PutLine(const std::string& line) {
    Memo->Lines->BeginUpdate();
    Memo->Lines->Add(line);
    Memo->Lines->EndUpdate();
}
