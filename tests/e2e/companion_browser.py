#!/usr/bin/python3
"""Drives the reading companion's page in headless Chromium for the end-to-end
tests: opens it, waits until it is connected, creates the --ready file (the
test may send lines from then on), then waits until the page shows every line
of the --expect file, takes a screenshot and exits 0. On a failure it prints
what the page showed and what was missing, still takes the screenshot, and
exits 1.

The --expect file is a JSON list, in the order the lines must appear:
  [{"source": "...", "shown": "...", "draft": "..."}, ...]
Each must be one .line with that source and that shown, final (not
provisional); a source listed n times is on the page n times, no more. With
"draft", the same element must first have shown the draft as provisional, then
the final text. Texts are compared as the page renders them (innerText), line
breaks as \\n, so a line break that does not show as one fails. Any error in
the browser's console fails too.

Runs with Debian's python3 (python3-selenium), chromium and chromedriver."""
import argparse
import json
import sys
import time

from selenium import webdriver
from selenium.common.exceptions import WebDriverException
from selenium.webdriver.chrome.service import Service

# Installed into the page once it is connected and before any line is sent:
# records, per .line element, each (shown, provisional) state it goes through.
# The history lives on the element itself, so a line replaced by a new element
# of the same data-id starts over and its draft is not seen.
RECORDER = """
const note = (line) => {
  const shown = line.querySelector('.shown');
  const state = [shown ? shown.innerText : null, line.classList.contains('provisional')];
  const history = line.__kxHistory || (line.__kxHistory = []);
  const last = history[history.length - 1];
  if (!last || last[0] !== state[0] || last[1] !== state[1]) history.push(state);
};
const lines = document.getElementById('lines');
lines.querySelectorAll('.line').forEach(note);
new MutationObserver((mutations) => {
  const touched = new Set();
  for (const m of mutations) {
    const node = m.target.nodeType === Node.ELEMENT_NODE ? m.target : m.target.parentElement;
    const line = node && node.closest('.line');
    if (line) touched.add(line);
    m.addedNodes.forEach((n) => { if (n.nodeType === Node.ELEMENT_NODE && n.matches('.line')) touched.add(n); });
  }
  touched.forEach(note);
}).observe(lines, {subtree: true, childList: true, characterData: true, attributes: true,
                   attributeFilter: ['class']});
"""

READ_LINES = """
return Array.from(document.querySelectorAll('#lines > .line'), (line) => {
  const source = line.querySelector('.source'), shown = line.querySelector('.shown');
  return {id: line.dataset.id, source: source ? source.innerText : null,
          shown: shown ? shown.innerText : null,
          provisional: line.classList.contains('provisional'),
          history: line.__kxHistory || []};
});
"""


def normal(text):
    return text.replace("\r\n", "\n").replace("\r", "\n")


def check(expected, lines):
    """What is missing or wrong, one a line; empty when the page shows it all."""
    problems = []
    ids = [line["id"] for line in lines]
    for dup in sorted({i for i in ids if ids.count(i) > 1}):
        problems.append("data-id %s is on %d elements" % (dup, ids.count(dup)))
    for source in {e["source"] for e in expected}:
        want = sum(1 for e in expected if e["source"] == source)
        have = sum(1 for line in lines if line["source"] == source)
        if have > want:
            problems.append("source %r is on the page %d times, expected %d" % (source, have, want))
    at = 0
    for e in expected:
        found = next((i for i in range(at, len(lines))
                      if lines[i]["source"] == e["source"] and lines[i]["shown"] == e["shown"]
                      and not lines[i]["provisional"]), None)
        if found is None:
            problems.append("missing (in this order, final): %r -> %r" % (e["source"], e["shown"]))
            continue
        at = found + 1
        if "draft" in e:
            history = [tuple(h) for h in lines[found]["history"]]
            draft = history.index((e["draft"], True)) if (e["draft"], True) in history else None
            if draft is None or (e["shown"], False) not in history[draft + 1:]:
                problems.append("line %s did not show the draft %r (provisional), then %r; it showed %r"
                                % (lines[found]["id"], e["draft"], e["shown"], history))
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--url", required=True)
    parser.add_argument("--expect", required=True, help="JSON list of the lines the page must show")
    parser.add_argument("--ready", required=True, help="created once the page is connected")
    parser.add_argument("--screenshot", required=True)
    parser.add_argument("--timeout", type=float, default=20.0, help="seconds for the lines to show")
    args = parser.parse_args()
    with open(args.expect, encoding="utf-8") as f:
        expected = [{k: normal(v) for k, v in e.items()} for e in json.load(f)]

    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                 "--window-size=900,700", "--lang=en-US"):
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    ok = False
    try:
        driver.get(args.url)
        deadline = time.monotonic() + args.timeout
        while driver.execute_script(
                "const s = document.getElementById('status'); return s && s.dataset.state;") != "connected":
            if time.monotonic() > deadline:
                print("the page never connected; its status: %r" % driver.execute_script(
                    "const s = document.getElementById('status'); return s && s.outerHTML;"))
                return 1
            time.sleep(0.05)
        driver.execute_script(RECORDER)
        open(args.ready, "w").close()

        deadline = time.monotonic() + args.timeout
        while True:
            lines = driver.execute_script(READ_LINES)
            problems = check(expected, lines)
            if not problems or time.monotonic() > deadline:
                break
            time.sleep(0.1)
        errors = [entry for entry in driver.get_log("browser") if entry.get("level") == "SEVERE"]
        for entry in errors:
            problems.append("console error: %s" % entry.get("message"))
        if problems:
            print("the page shows %d lines:" % len(lines))
            for line in lines:
                print("  [%s]%s %r -> %r  seen: %r" % (line["id"], " (provisional)" if line["provisional"] else "",
                                                     line["source"], line["shown"], line["history"]))
            print("wrong or missing:")
            for problem in problems:
                print("  " + problem)
            return 1
        ok = True
        print("the page shows all %d expected lines (%d in all)" % (len(expected), len(lines)))
        return 0
    except WebDriverException as e:
        print("the browser failed: %s" % e.msg)
        return 1
    finally:
        try:
            driver.save_screenshot(args.screenshot)
        except WebDriverException as e:
            print("no screenshot: %s" % e.msg)
        if not ok:
            print("screenshot: %s" % args.screenshot)
        driver.quit()


if __name__ == "__main__":
    sys.exit(main())
