#!/usr/bin/python3
"""Loads a page in headless Chromium and prints, as one JSON object, what the page shows
(document.body.innerText) once a value has appeared and again SECONDS later without a
reload, and how long the first values took: from the command to navigate (first_ms) and
on the page's own clock from the start of its navigation (page_ms).

    page_in_chromium.py URL PATTERN SECONDS

PATTERN is a regular expression the text must match to count as showing values.
Chromium is started here, on a free port of 127.0.0.1, with a profile of its own, and
stopped before the script ends."""
import json
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

import websocket


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    url, pattern, seconds = sys.argv[1], re.compile(sys.argv[2]), float(sys.argv[3])
    profile = tempfile.mkdtemp(prefix="tx20-chromium-")
    port = free_port()
    browser = subprocess.Popen(
        ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
         "--no-first-run", "--disable-background-networking", "--disable-component-update",
         "--disable-sync", "--remote-debugging-address=127.0.0.1",
         "--remote-debugging-port=%d" % port, "--user-data-dir=" + profile, "about:blank"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        target = None
        deadline = time.monotonic() + 30
        while target is None and time.monotonic() < deadline:
            try:
                with urllib.request.urlopen("http://127.0.0.1:%d/json/list" % port, timeout=2) as r:
                    pages = [t for t in json.load(r) if t.get("type") == "page"]
                    target = pages[0]["webSocketDebuggerUrl"] if pages else None
            except OSError:
                time.sleep(0.1)
        if target is None:
            raise SystemExit("chromium did not come up")
        ws = websocket.create_connection(target, timeout=10)
        ids = iter(range(1, 1 << 30))

        def call(method, **params):
            mine = next(ids)
            ws.send(json.dumps({"id": mine, "method": method, "params": params}))
            while True:
                reply = json.loads(ws.recv())
                if reply.get("id") == mine:
                    return reply.get("result", {})

        def evaluate(expression):
            r = call("Runtime.evaluate", expression=expression, returnByValue=True)
            return r.get("result", {}).get("value", "")

        def text():
            return evaluate("document.body ? document.body.innerText : ''")

        started = time.monotonic()
        call("Page.navigate", url=url)
        first = ""
        while not pattern.search(first) and time.monotonic() - started < 20:
            time.sleep(0.02)
            first = text()
        first_ms = (time.monotonic() - started) * 1000
        # On the page's own clock, from the start of its navigation.
        page_ms = evaluate("performance.now()")
        time.sleep(seconds)
        second = text()
        ws.close()
        print(json.dumps({"first_ms": round(first_ms), "page_ms": round(page_ms or -1),
                          "first": first, "second": second},
                         ensure_ascii=False))
    finally:
        browser.terminate()
        try:
            browser.wait(10)
        except subprocess.TimeoutExpired:
            browser.kill()
        shutil.rmtree(profile, ignore_errors=True)


if __name__ == "__main__":
    main()
