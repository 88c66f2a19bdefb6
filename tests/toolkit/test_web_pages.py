#!/usr/bin/env python3
"""The web renderer in Debian's Chromium, headless, driven by chromedriver.

    test_web_pages.py --site DIR --test-page PAGE.html --node NODE [--screenshots DIR] [TEST...]

Serves the site and the test program's page from 127.0.0.1 and uses each page as a person would:
Run pressed by its accessible name, the report copied out with Ctrl+A and Ctrl+C and compared
byte for byte with the batch report of the same program under Node.js, Tab and the keys, Exit.
With --screenshots, each program's window after a Run is saved there as PROGRAM-web.png.
"""

import argparse
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
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

PROGRAMS = {'quadrun': ('Test of MtrxNN', 211), 'linrun': ('Test of Vect', 138)}
CAPTION = 'QUIL Library Test Platform'
# The test program's report (tests/platform/TestProgram.cpp), and where a failing Run stops.
TEST_PROGRAM_LINES = 41
LINES_BEFORE_FAILURE = 3
ENDED = '{} has ended. Reload the page to start it again.'

options = None
session = {}  # one server and one browser for all the tests


def setUpModule():
    test_page = os.path.abspath(options.test_page)
    roots = {'/site/': os.path.abspath(options.site), '/test/': os.path.dirname(test_page)}

    class Handler(http.server.SimpleHTTPRequestHandler):
        def translate_path(self, path):
            prefix = next((p for p in roots if path.startswith(p)), None)
            return os.path.join(roots[prefix], path[len(prefix):].split('?')[0]) if prefix else '/nonexistent'

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    profile = tempfile.mkdtemp(prefix='quil-chromium-')
    chrome = webdriver.ChromeOptions()
    chrome.binary_location = shutil.which('chromium') or '/usr/bin/chromium'
    # A closed network: Chromium must not try to reach anything of its own.
    for argument in ('--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                     '--disable-background-networking', '--disable-component-update', '--disable-sync',
                     '--user-data-dir=' + profile, '--window-size=1024,800'):
        chrome.add_argument(argument)
    driver = Service(shutil.which('chromedriver') or '/usr/bin/chromedriver')
    session.update(server=server, profile=profile, base=f'http://127.0.0.1:{server.server_address[1]}',
                   test_page='/test/' + os.path.basename(test_page),
                   browser=webdriver.Chrome(service=driver, options=chrome))


def tearDownModule():
    session['browser'].quit()
    session['server'].shutdown()
    shutil.rmtree(session['profile'], ignore_errors=True)


class PageTest(unittest.TestCase):
    def setUp(self):
        self.browser = session['browser']

    def open(self, path):
        self.browser.get(session['base'] + path)
        WebDriverWait(self.browser, 20).until(lambda b: b.find_elements(By.CSS_SELECTOR, '.form textarea'))
        self.assertEqual(self.browser.execute_script('return document.activeElement.tagName'), 'BODY')

    def named(self, selector, name):
        found = [e for e in self.browser.find_elements(By.CSS_SELECTOR, selector) if e.accessible_name == name]
        self.assertEqual(len(found), 1, f'one {selector} named {name}')
        return found[0]

    def text_of(self, selector):
        return self.browser.find_element(By.CSS_SELECTOR, selector).text

    def keys(self, key, modifier=None):
        actions = ActionChains(self.browser)
        if modifier:
            actions.key_down(modifier).send_keys(key).key_up(modifier)
        else:
            actions.send_keys(key)
        actions.perform()

    def focused(self):
        return self.browser.switch_to.active_element.accessible_name

    def report_lines(self):
        """The report's lines (its text area only separates them); the window may be inert."""
        return self.browser.execute_script("return document.querySelector('textarea').value.split('\\n').length")

    def wait_for_lines(self, count):
        WebDriverWait(self.browser, 20).until(lambda b: self.report_lines() == count,
                                              f'the report did not reach {count} lines')

    def copied_report(self):
        """The whole report as the clipboard gets it: Ctrl+A and Ctrl+C in it, pasted elsewhere."""
        self.named('textarea', 'Report').click()
        self.keys('a', Keys.CONTROL)
        self.keys('c', Keys.CONTROL)
        self.browser.execute_script("var t = document.createElement('textarea');"
                                    "t.id = 'pasted'; document.body.appendChild(t); t.focus();")
        self.keys('v', Keys.CONTROL)
        return self.browser.execute_script("var t = document.getElementById('pasted'); t.remove(); return t.value;")

    def ended_text(self):
        WebDriverWait(self.browser, 10).until(lambda b: b.find_elements(By.CSS_SELECTOR, '.ended'))
        self.assertEqual(self.browser.find_elements(By.CSS_SELECTOR, '.form'), [], 'the window is gone')
        return self.text_of('.ended')

    def notice(self):
        """The open notice's caption and text, once it is there."""
        WebDriverWait(self.browser, 10).until(lambda b: b.find_elements(By.CSS_SELECTOR, 'dialog[open]'))
        return self.text_of('dialog .caption'), self.text_of('dialog p')

    def close_notice(self):
        self.browser.find_element(By.CSS_SELECTOR, 'dialog button').click()
        WebDriverWait(self.browser, 10).until(lambda b: not b.find_elements(By.CSS_SELECTOR, 'dialog'))


class ProgramPages(PageTest):
    @classmethod
    def setUpClass(cls):
        cls.batch = {program: subprocess.run([options.node, os.path.join(options.site, program + '.js')],
                                             env={**os.environ, 'QUIL_RENDERER': 'batch'}, check=True,
                                             stdout=subprocess.PIPE).stdout.decode()
                     for program in PROGRAMS}

    def test_window_buttons_and_report_carry_their_names(self):
        for program, (label, _) in PROGRAMS.items():
            with self.subTest(program):
                self.open(f'/site/{program}.html')
                self.assertEqual(self.browser.title, CAPTION)
                self.assertEqual(self.text_of('.form .caption'), CAPTION)
                self.assertEqual(self.text_of('.label'), label)
                for name in ('Run', 'Exit'):
                    button = self.named('button', name)
                    self.assertEqual(button.get_attribute('title'), name, 'tooltip')
                    self.assertGreater(len(button.find_elements(By.CSS_SELECTOR, '.glyph svg rect')), 10, 'glyph')
                    self.assertEqual(button.text, '')
                # Nothing but the page's own files, from the server it came from.
                loaded = self.browser.execute_script(
                    "return performance.getEntriesByType('resource').map(function (e) { return e.name; })")
                self.assertEqual(sorted(loaded), [f'{session["base"]}/site/{program}.{suffix}' for suffix in ('js', 'wasm')])
                report = self.named('textarea', 'Report')
                self.assertEqual((report.get_property('readOnly'), report.get_property('value')), (True, ''))
                self.assertEqual([report.value_of_css_property('overflow-' + axis) for axis in 'xy'], ['scroll'] * 2)
                self.assertIn('Mono', report.value_of_css_property('font-family'))

    def test_the_index_links_both_pages(self):
        self.browser.get(session['base'] + '/site/index.html')
        self.assertEqual(sorted(a.text for a in self.browser.find_elements(By.TAG_NAME, 'a')), ['linrun', 'quadrun'])
        self.browser.find_element(By.LINK_TEXT, 'quadrun').click()
        WebDriverWait(self.browser, 20).until(lambda b: b.find_elements(By.CSS_SELECTOR, '.label'))
        self.assertEqual(self.text_of('.label'), 'Test of MtrxNN')

    def test_run_shows_the_batch_report_and_a_second_run_the_same(self):
        for program, (_, lines) in PROGRAMS.items():
            with self.subTest(program):
                self.assertEqual(self.batch[program].count('\n'), lines)
                self.open(f'/site/{program}.html')
                self.named('button', 'Run').click()
                self.wait_for_lines(lines)
                if options.screenshots:
                    self.browser.find_element(By.CSS_SELECTOR, '.form').screenshot(
                        os.path.join(options.screenshots, f'{program}-web.png'))
                self.assertEqual(self.copied_report(), self.batch[program])
                self.keys('r')
                self.wait_for_lines(lines)
                self.assertEqual(self.copied_report(), self.batch[program], 'a second Run replaces the first')

    def test_tab_reaches_the_buttons_and_keys_press_them(self):
        lines = PROGRAMS['linrun'][1]
        self.open('/site/linrun.html')
        for key, modifier, focus in ((Keys.TAB, None, 'Exit'), (Keys.TAB, None, 'Run')):
            self.keys(key, modifier)
            self.assertEqual(self.focused(), focus)
        self.keys(Keys.SPACE)
        self.wait_for_lines(lines)
        for key, modifier, focus in ((Keys.TAB, None, 'Report'), (Keys.TAB, Keys.SHIFT, 'Run'),
                                     (Keys.TAB, Keys.SHIFT, 'Exit')):
            self.keys(key, modifier)
            self.assertEqual(self.focused(), focus)
        # Enter is the Run button's wherever the focus is, also on Exit.
        self.browser.execute_script("document.querySelector('textarea').value = ''")
        self.keys(Keys.ENTER)
        self.wait_for_lines(lines)
        self.named('button', 'Run').click()
        self.assertEqual(self.focused(), 'Exit', 'a click leaves the focus where it was')
        self.keys(Keys.SPACE)
        self.assertEqual(self.ended_text(), ENDED.format('linrun'))

    def test_escape_e_and_ctrl_q_end_the_program(self):
        for key, modifier in ((Keys.ESCAPE, None), ('E', None), ('q', Keys.CONTROL)):
            with self.subTest(key=key):
                self.open('/site/quadrun.html')
                self.keys(key, modifier)
                self.assertEqual(self.ended_text(), ENDED.format('quadrun'))

    def test_the_window_follows_its_size_down_to_its_minimum(self):
        self.open('/site/quadrun.html')
        form = self.browser.find_element(By.CSS_SELECTOR, '.form')
        self.assertEqual((form.size['width'], form.size['height']), (800, 600))
        report = self.named('textarea', 'Report')
        self.assertEqual((report.size['width'], report.size['height']), (792, 516))
        self.browser.execute_script("arguments[0].style.width = '700px'; arguments[0].style.height = '300px'", form)
        # The model lays the controls out again, in a window no smaller than 600 x 450.
        WebDriverWait(self.browser, 10).until(lambda b: report.size['width'] == 692)
        self.assertEqual(report.size['height'], 450 - 27 - 38 - 19)
        status = self.browser.find_element(By.CSS_SELECTOR, '.status')
        self.assertEqual(status.location['y'] - form.location['y'], 450 - 4 - 19)


class TestProgramPage(PageTest):
    def test_a_failing_run_is_shown_and_the_window_stays(self):
        for failure, message in (('standard', 'suite failed on purpose'),
                                 ('plain', 'exception of class TestPlainError')):
            with self.subTest(failure):
                self.open(f'{session["test_page"]}?QUIL_TEST_FAILURE={failure}')
                self.assertEqual(self.text_of('.label'), 'Platform under test')
                self.named('button', 'Run').click()
                self.assertEqual(self.notice(), ('Test of Platform', message))
                self.assertEqual(self.report_lines(), LINES_BEFORE_FAILURE)
                self.keys('r')  # the notice is modal: the window takes no keys
                self.close_notice()
                time.sleep(0.5)  # a Run of that key would have failed again by now
                self.assertEqual(self.browser.find_elements(By.CSS_SELECTOR, 'dialog'), [])
                self.keys('r')
                self.notice()
                self.close_notice()

    def test_the_librarys_report_is_a_notice_where_windir_is_set(self):
        self.open(f'{session["test_page"]}?QUIL_TEST_FAILURE=heap&windir=C:%5CWindows')
        self.named('button', 'Run').click()
        self.assertEqual(self.notice(), ('QUIL Lib. Error Message',
                                         'failed to allocate 3221225472 byte(s) in heap area.'))
        self.assertEqual(self.report_lines(), LINES_BEFORE_FAILURE)
        self.close_notice()
        self.wait_for_lines(TEST_PROGRAM_LINES)  # the Run goes on when the notice is closed

    def test_a_long_run_lets_the_page_draw_and_take_input(self):
        # 30 ms of work before each line: the Run takes more than a second.
        self.open(f'{session["test_page"]}?QUIL_TEST_LINE_DELAY=30')
        self.browser.execute_script("var memo = document.querySelector('textarea'); window.seen = [];"
                                    "window.sampler = setInterval(function () {"
                                    "  window.seen.push(memo.value.split('\\n').length); }, 20);")
        self.named('button', 'Run').click()
        self.named('button', 'Exit').click()  # taken during the Run, carried out after it
        self.assertEqual(self.ended_text(), ENDED.format('platform_program'))
        seen = self.browser.execute_script('clearInterval(window.sampler); return window.seen;')
        partial = {n for n in seen if 1 < n < TEST_PROGRAM_LINES}
        self.assertGreater(len(partial), 5, f'the page saw the report grow: {seen}')


def main():
    global options
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for name in ('--site', '--test-page', '--node'):
        parser.add_argument(name, required=True)
    parser.add_argument('--screenshots')
    options, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == '__main__':
    main()
