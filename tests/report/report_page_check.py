#!/usr/bin/env python3
"""Loads a report page in headless Chromium (the browser as an independent
peer) over the DevTools protocol on a pipe, and prints as JSON what a
person's browser would meet: every request the page makes, console messages
and log entries, each image (complete, natural width, alt text), the rows
of each clip table, the texts of the clip tables' paragraphs and spans, and a screenshot written to
the path given; also whether the page fits the window (the document's and
each table's right edge, each scrolling box's width), the items of its
"Needs attention" list and each card's state, and each video element
played to its end (or its error).

    report_page_check.py CHROMIUM PAGE.html SCREENSHOT.png PROFILE_DIR
"""
import base64
import fcntl
import json
import os
import subprocess
import sys
import time

CHECK = r"""(() => {
  const images = [...document.images].map(i => ({src: i.getAttribute('src'), url: i.src, complete: i.complete,
                                                 naturalWidth: i.naturalWidth, alt: i.getAttribute('alt')}));
  const clipTables = [...document.querySelectorAll('table.clips')].map(t => t.tBodies[0].rows.length);
  const texts = [...document.querySelectorAll('table.clips tbody td p, table.clips tbody span')].map(e => e.textContent);
  const referenced = [...document.querySelectorAll('[src],[href],[srcset],[poster],[data]')]
      .filter(e => e.tagName !== 'A').map(e => e.src || e.href || e.getAttribute('srcset') || e.getAttribute('data'));
  const styles = [...document.querySelectorAll('style')].map(s => s.textContent).join('\n');
  return JSON.stringify({images, clipTables, texts, referenced, scripts: document.scripts.length,
                         headerCells: document.querySelectorAll('thead th').length,
                         tablesWithoutHeader: [...document.querySelectorAll('table')].filter(t => !t.tHead).length,
                         stylesheetLinks: document.querySelectorAll('link[rel~=stylesheet]').length,
                         cssUrls: (styles.match(/url\(|@import|@font-face/g) || []).length,
                         printRules: [...document.styleSheets].some(s => [...s.cssRules].some(r => r.media && [...r.media].includes('print'))),
                         viewport: !!document.querySelector('meta[name=viewport]'),
                         layout: {width: window.innerWidth, scrollWidth: document.scrollingElement.scrollWidth,
                                  tableRights: [...document.querySelectorAll('table')].map(t => Math.ceil(t.getBoundingClientRect().right)),
                                  scrollers: [...document.querySelectorAll('.scroll')].map(d => [d.scrollWidth, d.clientWidth])},
                         attention: [...document.querySelectorAll('#attention li')].map(e => e.textContent),
                         cardStates: [...document.querySelectorAll('#cards tbody tr')].map(r => r.cells[1].textContent),
                         recordingTables: document.querySelectorAll('#recordings table').length});
})()"""

# Plays every video element to its end, muted (as a page a person opens
# would after a click), and says how each ended and how much of its
# sound was decoded.
PLAY = r"""(async () => {
  const play = v => new Promise(resolve => {
    const done = ended => resolve({src: v.getAttribute('src'), ended, duration: v.duration,
                                   currentTime: v.currentTime, error: v.error ? v.error.code + ': ' + v.error.message : null,
                                   audioDecodedBytes: v.webkitAudioDecodedByteCount});
    v.addEventListener('ended', () => done(true));
    v.addEventListener('error', () => done(false));
    setTimeout(() => done(false), 30000);
    v.muted = true;
    v.play().catch(e => resolve({src: v.getAttribute('src'), ended: false, error: String(e)}));
  });
  const results = [];
  for (const v of document.querySelectorAll('video')) results.push(await play(v));
  return JSON.stringify(results);
})()"""


def main():
    chromium, page, screenshot, profile = sys.argv[1:5]
    read_fd, child_write = os.pipe()
    child_read, write_fd = os.pipe()
    # The browser reads commands on fd 3 and writes answers on fd 4; the
    # child's ends are first moved above them so that the moves cannot clash.
    child_read, child_write = (fcntl.fcntl(fd, fcntl.F_DUPFD, 10) for fd in (child_read, child_write))

    def pipes_at_3_and_4():
        os.dup2(child_read, 3)
        os.dup2(child_write, 4)

    browser = subprocess.Popen(
        [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--autoplay-policy=no-user-gesture-required",
         "--user-data-dir=" + profile, "--remote-debugging-pipe", "--window-size=1280,1800", "about:blank"],
        preexec_fn=pipes_at_3_and_4, pass_fds=(3, 4), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(child_read), os.close(child_write)
    writer = os.fdopen(write_fd, "wb", buffering=0)
    reader = os.fdopen(read_fd, "rb", buffering=0)
    pending = b""
    events = []
    counter = [0]
    deadline = time.monotonic() + 90

    def receive():
        nonlocal pending
        while b"\0" not in pending:
            if time.monotonic() > deadline:
                raise TimeoutError("no answer from the browser")
            chunk = reader.read(65536)
            if not chunk:
                raise EOFError("the browser closed its pipe")
            pending += chunk
        message, pending = pending.split(b"\0", 1)
        return json.loads(message)

    def call(method, params=None, session=None):
        counter[0] += 1
        message = {"id": counter[0], "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        writer.write(json.dumps(message).encode() + b"\0")
        while True:
            answer = receive()
            if answer.get("id") == counter[0]:
                if "error" in answer:
                    raise RuntimeError("%s: %s" % (method, answer["error"]))
                return answer.get("result", {})
            events.append(answer)

    try:
        target = call("Target.createTarget", {"url": "about:blank"})["targetId"]
        session = call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        for domain in ("Page", "Runtime", "Log", "Network"):
            call(domain + ".enable", session=session)
        call("Page.navigate", {"url": "file://" + os.path.abspath(page)}, session=session)
        while not any(e.get("method") == "Page.loadEventFired" for e in events):
            events.append(receive())
        result = json.loads(call("Runtime.evaluate", {"expression": CHECK, "returnByValue": True},
                                 session=session)["result"]["value"])
        result["videos"] = json.loads(call("Runtime.evaluate", {"expression": PLAY, "returnByValue": True,
                                                                "awaitPromise": True},
                                           session=session)["result"]["value"])
        shot = call("Page.captureScreenshot", {"format": "png", "captureBeyondViewport": False}, session=session)
        with open(screenshot, "wb") as f:
            f.write(base64.b64decode(shot["data"]))
        result["requests"] = [e["params"]["request"]["url"] for e in events
                              if e.get("method") == "Network.requestWillBeSent"]
        result["failedRequests"] = [e["params"].get("errorText") for e in events
                                    if e.get("method") == "Network.loadingFailed"]
        result["console"] = [e["params"]["type"] + ": " + json.dumps(e["params"].get("args"))
                             for e in events if e.get("method") == "Runtime.consoleAPICalled"]
        result["log"] = [e["params"]["entry"]["level"] + ": " + e["params"]["entry"]["text"]
                         for e in events if e.get("method") == "Log.entryAdded"]
        result["exceptions"] = [json.dumps(e["params"]) for e in events if e.get("method") == "Runtime.exceptionThrown"]
        print(json.dumps(result))
        call("Browser.close")
    finally:
        try:
            browser.wait(timeout=30)
        except subprocess.TimeoutExpired:
            browser.kill()
            browser.wait()


if __name__ == "__main__":
    main()
