#!/usr/bin/env python3
"""The web renderer in a real browser: Debian's Chromium, headless, driven by chromedriver.

    test_web_pages.py --site DIR --test-page PAGE.html --node NODE [--screenshots DIR]

Serves the site (quadrun and linrun) and the test program's page from 127.0.0.1 and opens each
page as a user would: Run pressed by its accessible name, the report copied out with Ctrl+A and
Ctrl+C and compared byte for byte with the batch report of the same program under Node.js, Tab
to the buttons and the keys that press them, Exit. The test program's page shows how a Run that
fails is displayed, and that a long Run leaves the page responsive. With --screenshots, each
program's page after a Run is saved there as PROGRAM-web.png.
"""

import argparse
import functools
import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

PROGRAMS = {'quadrun': ('Test of MtrxNN', 211), 'linrun': ('Test of Vect', 138)}
CAPTION = 'QUIL Library Test Platform'
# The test program's report (tests/platform/TestProgram.cpp) has 41 lines; a failing Run stops
# after 3.
TEST_PROGRAM_LINES = 41
LINES_BEFORE_FAILURE = 3

options = None


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, '.wasm': 'application/wasm'}

    def log_message(self, *args):
        pass


def serve(roots):
    """Serves each of roots (URL prefix -> folder) from 127.0.0.1; returns the base URL."""

    class Handler(QuietHandler):
        def translate_path(self, path):
            for prefix, folder in roots.items():
                if path.startswith(prefix):
                    return os.path.join(folder, path[len(prefix):].split('?')[0])
            return '/nonexistent'

    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, f'http://127.0.0.1:{server.server_address[1]}'


def start_browser(profile):
    chrome = webdriver.ChromeOptions()
    chrome.binary_location = shutil.which('chromium') or '/usr/bin/chromium'
    # A closed network: Chromium must not try to reach anything of its own.
    for argument in ('--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                     '--disable-background-networking', '--disable-component-update', '--disable-sync',
                     '--user-data-dir=' + profile, '--window-size=1024,800'):
        chrome.add_argument(argument)
    driver = shutil.which('chromedriver') or '/usr/bin/chromedriver'
    return webdriver.Chrome(service=Service(driver), options=chrome)


# One server and one browser for all the tests.
session = {}


def setUpModule():
    session['profile'] = tempfile.mkdtemp(prefix='quil-chromium-')
    test_page = os.path.abspath(options.test_page)
    session['server'], session['base'] = serve({'/site/': os.path.abspath(options.site),
                                                '/test/': os.path.dirname(test_page)})
    session['test_page'] = os.path.basename(test_page)
    session['browser'] = start_browser(session['profile'])


def tearDownModule():
    session['browser'].quit()
    session['server'].shutdown()
    shutil.rmtree(session['profile'], ignore_errors=True)


class PageTest(unittest.TestCase):
    def setUp(self):
        self.browser = session['browser']
        self.base = session['base']
        self.test_page = session['test_page']

    def open(self, path):
        self.browser.get(self.base + path)
        WebDriverWait(self.browser, 20).until(lambda b: b.find_elements(By.CSS_SELECTOR, '.form textarea'))
        self.assertEqual(self.browser.execute_script('return document.activeElement.tagName'), 'BODY')

    def button(self, name):
        buttons = [b for b in self.browser.find_elements(By.CSS_SELECTOR, 'button') if b.accessible_name == name]
        self.assertEqual(len(buttons), 1, f'one button named {name}')
        return buttons[0]

    def report(self):
        memos = [m for m in self.browser.find_elements(By.CSS_SELECTOR, 'textarea') if m.accessible_name == 'Report']
        self.assertEqual(len(memos), 1, 'one text area named Report')
        return memos[0]

    def keys(self, *keys):
        ActionChains(self.browser).send_keys(*keys).perform()

    def chord(self, key, modifier=Keys.CONTROL):
        ActionChains(self.browser).key_down(modifier).send_keys(key).key_up(modifier).perform()

    def focused(self):
        return self.browser.switch_to.active_element.accessible_name

    def report_lines(self):
        """The lines of the report (its text area only separates them)."""
        return self.browser.execute_script("return document.querySelector('textarea').value.split('\\n').length")

    def wait_for_lines(self, count):
        try:
            WebDriverWait(self.browser, 20).until(lambda b: self.report_lines() == count)
        except TimeoutException:
            self.fail(f'the report did not reach {count} lines: {self.report_lines()}')

    def copied_report(self):
        """The whole report as the clipboard gets it: Ctrl+A and Ctrl+C in it, pasted elsewhere."""
        self.report().click()
        self.chord('a')
        self.chord('c')
        self.browser.execute_script(
            "var t = document.createElement('textarea'); t.id = 'pasted'; document.body.appendChild(t); t.focus();")
        self.chord('v')
        text = self.browser.execute_script(
            "var t = document.getElementById('pasted'); t.remove(); return t.value;")
        return text

    def ended_text(self):
        WebDriverWait(self.browser, 10).until(lambda b: b.find_elements(By.CSS_SELECTOR, '.ended'))
        self.assertEqual(self.browser.find_elements(By.CSS_SELECTOR, '.form'), [], 'the window is gone')
        return self.browser.find_element(By.CSS_SELECTOR, '.ended').text

    def notice(self):
        WebDriverWait(self.browser, 10).until(lambda b: b.find_elements(By.CSS_SELECTOR, 'dialog[open]'))
        dialog = self.browser.find_element(By.CSS_SELECTOR, 'dialog[open]')
        return dialog, dialog.find_element(By.CSS_SELECTOR, '.caption').text, dialog.find_element(By.TAG_NAME, 'p').text


class ProgramPages(PageTest):
    @classmethod
    def setUpClass(cls):
        cls.batch = {}
        for program in PROGRAMS:
            run = subprocess.run([options.node, os.path.join(options.site, program + '.js')],
                                 env={**os.environ, 'QUIL_RENDERER': 'batch'}, stdout=subprocess.PIPE, check=True)
            cls.batch[program] = run.stdout.decode()

    def test_batch_reports_under_node_have_their_lines(self):
        for program, (_, lines) in PROGRAMS.items():
            self.assertEqual(self.batch[program].count('\n'), lines, program)

    def test_window_buttons_and_report_carry_their_names(self):
        for program, (label, _) in PROGRAMS.items():
            with self.subTest(program):
                self.open(f'/site/{program}.html')
                self.assertEqual(self.browser.title, CAPTION)
                self.assertEqual(self.browser.find_element(By.CSS_SELECTOR, '.form .caption').text, CAPTION)
                self.assertEqual(self.browser.find_element(By.CSS_SELECTOR, '.label').text, label)
                for name in ('Run', 'Exit'):
                    button = self.button(name)
                    self.assertEqual(button.get_attribute('title'), name, 'tooltip')
                    self.assertEqual(len(button.find_elements(By.CSS_SELECTOR, '.glyph svg rect')) > 10, True,
                                     'a glyph, not a text')
                    self.assertEqual(button.text, '')
                # Nothing but the page's own files, from the server it came from.
                loaded = self.browser.execute_script(
                    "return performance.getEntriesByType('resource').map(function (e) { return e.name; })")
                self.assertEqual(sorted(loaded), sorted(f'{self.base}/site/{program}.{suffix}' for suffix in ('js', 'wasm')))
                report = self.report()
                self.assertEqual(report.get_property('readOnly'), True)
                self.assertEqual(report.get_property('value'), '', 'empty before the first Run')
                self.assertEqual(report.value_of_css_property('overflow-x'), 'scroll')
                self.assertEqual(report.value_of_css_property('overflow-y'), 'scroll')
                self.assertIn('Mono', report.value_of_css_property('font-family'))

    def test_the_index_links_both_pages(self):
        self.browser.get(self.base + '/site/index.html')
        self.assertEqual(sorted(a.text for a in self.browser.find_elements(By.TAG_NAME, 'a')), ['linrun', 'quadrun'])
        self.browser.find_element(By.LINK_TEXT, 'quadrun').click()
        WebDriverWait(self.browser, 20).until(lambda b: b.find_elements(By.CSS_SELECTOR, '.form textarea'))
        self.assertEqual(self.browser.find_element(By.CSS_SELECTOR, '.label').text, 'Test of MtrxNN')

    def test_run_shows_the_batch_report_and_a_second_run_the_same(self):
        for program, (_, lines) in PROGRAMS.items():
            with self.subTest(program):
                self.open(f'/site/{program}.html')
                self.button('Run').click()
                self.wait_for_lines(lines)
                if options.screenshots:
                    self.browser.find_element(By.CSS_SELECTOR, '.form').screenshot(
                        os.path.join(options.screenshots, f'{program}-web.png'))
                self.assertEqual(self.copied_report(), self.batch[program])
                self.keys('r')
                self.wait_for_lines(lines)
                self.assertEqual(self.copied_report(), self.batch[program], 'a second Run replaces the first')

    def test_tab_reaches_the_buttons_and_keys_press_them(self):
        program, (_, lines) = 'linrun', PROGRAMS['linrun']
        self.open(f'/site/{program}.html')
        self.keys(Keys.TAB)
        self.assertEqual(self.focused(), 'Exit')
        self.keys(Keys.TAB)
        self.assertEqual(self.focused(), 'Run')
        self.keys(Keys.SPACE)
        self.wait_for_lines(lines)
        self.keys(Keys.TAB)
        self.assertEqual(self.focused(), 'Report')
        self.chord(Keys.TAB, Keys.SHIFT)
        self.assertEqual(self.focused(), 'Run')
        self.chord(Keys.TAB, Keys.SHIFT)
        self.assertEqual(self.focused(), 'Exit')
        # Enter is the Run button's wherever the focus is, also on Exit.
        self.browser.execute_script("document.querySelector('textarea').value = ''")
        self.keys(Keys.ENTER)
        self.wait_for_lines(lines)
        self.assertEqual(self.focused(), 'Exit')
        # A click leaves the focus where it was.
        self.button('Run').click()
        self.assertEqual(self.focused(), 'Exit')
        self.keys(Keys.SPACE)
        self.assertEqual(self.ended_text(), 'linrun has ended. Reload the page to start it again.')

    def test_escape_and_ctrl_q_end_the_program(self):
        for key in (Keys.ESCAPE, 'E'):
            with self.subTest(key=key):
                self.open('/site/quadrun.html')
                self.keys(key)
                self.assertEqual(self.ended_text(), 'quadrun has ended. Reload the page to start it again.')
        self.open('/site/quadrun.html')
        self.chord('q')
        self.assertEqual(self.ended_text(), 'quadrun has ended. Reload the page to start it again.')

    def test_the_window_follows_the_page_size_to_its_minimum(self):
        self.open('/site/quadrun.html')
        form = self.browser.find_element(By.CSS_SELECTOR, '.form')
        self.assertEqual((form.size['width'], form.size['height']), (800, 600))
        report = self.report()
        self.assertEqual((report.size['width'], report.size['height']), (792, 516))
        self.browser.execute_script("arguments[0].style.width = '700px'; arguments[0].style.height = '300px'", form)
        # The model lays the controls out again, no smaller than the window's minimum of 600 x 450.
        WebDriverWait(self.browser, 10).until(lambda b: self.report().size['width'] == 692)
        self.assertEqual(self.report().size['height'], 450 - 27 - 38 - 19)
        self.assertEqual(self.browser.find_element(By.CSS_SELECTOR, '.status').location['y'] -
                         form.location['y'], 450 - 4 - 19)


class TestProgramPage(PageTest):
    def test_a_failing_run_is_shown_and_the_window_stays(self):
        for failure, message in (('standard', 'suite failed on purpose'),
                                 ('plain', 'exception of class TestPlainError')):
            with self.subTest(failure):
                self.open(f'/test/{self.test_page}?QUIL_TEST_FAILURE={failure}')
                self.assertEqual(self.browser.find_element(By.CSS_SELECTOR, '.label').text, 'Platform under test')
                self.button('Run').click()
                dialog, caption, text = self.notice()
                self.assertEqual((caption, text), ('Test of Platform', message))
                # The window behind a modal notice is inert, out of the accessibility tree too.
                self.assertEqual(self.report_lines(), LINES_BEFORE_FAILURE)
                self.keys('r')  # the notice is modal: the window takes no keys
                dialog.find_element(By.TAG_NAME, 'button').click()
                WebDriverWait(self.browser, 10).until(lambda b: not b.find_elements(By.CSS_SELECTOR, 'dialog'))
                time.sleep(0.5)  # a Run of that key would have failed again by now
                self.assertEqual(self.browser.find_elements(By.CSS_SELECTOR, 'dialog'), [])
                self.assertEqual(self.report_lines(), LINES_BEFORE_FAILURE)
                self.keys('r')
                self.notice()[0].find_element(By.TAG_NAME, 'button').click()

    def test_the_librarys_report_is_a_notice_where_windir_is_set(self):
        self.open(f'/test/{self.test_page}?QUIL_TEST_FAILURE=heap&windir=C:%5CWindows')
        self.button('Run').click()
        dialog, caption, text = self.notice()
        self.assertEqual((caption, text), ('QUIL Lib. Error Message',
                                           'failed to allocate 3221225472 byte(s) in heap area.'))
        self.assertEqual(self.report_lines(), LINES_BEFORE_FAILURE)
        dialog.find_element(By.TAG_NAME, 'button').click()
        self.wait_for_lines(TEST_PROGRAM_LINES)  # the Run goes on when the notice is closed

    def test_a_long_run_lets_the_page_draw_and_take_input(self):
        # 30 ms of work before each line: the Run takes more than a second.
        self.open(f'/test/{self.test_page}?QUIL_TEST_LINE_DELAY=30')
        self.browser.execute_script("""
            var memo = document.querySelector('textarea');
            window.seen = [];
            window.sampler = setInterval(function () { window.seen.push(memo.value.split('\\n').length); }, 20);
        """)
        self.button('Run').click()
        self.button('Exit').click()  # taken during the Run, carried out after it
        self.assertEqual(self.ended_text(), 'platform_program has ended. Reload the page to start it again.')
        seen = self.browser.execute_script('clearInterval(window.sampler); return window.seen;')
        partial = [n for n in seen if 1 < n < TEST_PROGRAM_LINES]
        self.assertGreater(len(set(partial)), 5, f'the page saw the report grow: {seen}')


def main():
    global options
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--site', required=True)
    parser.add_argument('--test-page', required=True)
    parser.add_argument('--node', required=True)
    parser.add_argument('--screenshots')
    options, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == '__main__':
    main()
