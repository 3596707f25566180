#!/usr/bin/env python3
"""Publish pages in a real browser: converts generated pictures with `kestrova-cli --html`,
serves the folder on 127.0.0.1 and watches the pages in headless Chromium, driven through its
DevTools pipe, until the movie shows what it should:
  - a picture's blocks at their place in the centred movie, on the page's background colour;
  - the lens tinting the picture;
  - a single movie of two pictures showing the second one after framesPerImage frames.
Usage: test_publish_page.py KESTROVA_CLI"""
import base64
import functools
import http.server
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

CLI = os.path.abspath(sys.argv[1])
WIDTH, HEIGHT = 400, 300
# A 120x80 picture of six 40x40 blocks, row by row.
BLOCKS = [(192, 48, 32), (32, 160, 64), (40, 80, 200), (230, 220, 40), (250, 250, 250), (90, 20, 120)]
BACKGROUND = (0x33, 0x66, 0x99)
failures = []


def hexcolour(c):
    return "#%02X%02X%02X" % c


def run(*args, cwd):
    subprocess.run(args, cwd=cwd, check=True, stdout=subprocess.DEVNULL)


class Browser:
    """Headless Chromium with one page, spoken to over --remote-debugging-pipe."""

    def __init__(self, profile):
        to_chrome_r, self.to_chrome = os.pipe()
        self.from_chrome, from_chrome_w = os.pipe()
        flags = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--autoplay-policy=no-user-gesture-required", "--remote-debugging-pipe",
                 "--user-data-dir=" + profile, "--window-size=%d,%d" % (WIDTH, HEIGHT)]
        self.proc = subprocess.Popen(
            ["chromium"] + flags + ["about:blank"], stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, pass_fds=(3, 4),
            preexec_fn=lambda: (os.dup2(to_chrome_r, 3), os.dup2(from_chrome_w, 4)))
        os.close(to_chrome_r)
        os.close(from_chrome_w)
        self.buffer = b""
        self.next_id = 0
        self.target = None

    def call(self, method, session=None, **params):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        os.write(self.to_chrome, json.dumps(message).encode() + b"\0")
        while True:
            while b"\0" not in self.buffer:
                chunk = os.read(self.from_chrome, 1 << 20)
                if not chunk:
                    raise RuntimeError("chromium closed its pipe")
                self.buffer += chunk
            raw, self.buffer = self.buffer.split(b"\0", 1)
            reply = json.loads(raw)
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError(f"{method}: {reply['error']}")
                return reply["result"]

    def open(self, url):
        """A new tab for each page, so no state of the previous one is left."""
        if self.target:
            self.call("Target.closeTarget", targetId=self.target)
        self.target = self.call("Target.createTarget", url=url)["targetId"]
        self.session = self.call("Target.attachToTarget", targetId=self.target,
                                 flatten=True)["sessionId"]
        self.call("Emulation.setDeviceMetricsOverride", self.session, width=WIDTH, height=HEIGHT,
                  deviceScaleFactor=1, mobile=False)

    def screenshot(self):
        png = base64.b64decode(self.call("Page.captureScreenshot", self.session)["data"])
        rgb = subprocess.run(["convert", "png:-", "-depth", "8", "rgb:-"], input=png,
                             capture_output=True, check=True).stdout
        return lambda x, y: tuple(rgb[3 * (y * WIDTH + x): 3 * (y * WIDTH + x) + 3])

    def close(self):
        self.proc.kill()
        self.proc.wait()


def near(a, b, tolerance):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def wait_for(browser, what, expected, tolerance=12, seconds=20):
    """Screenshots until every (x, y) -> colour holds; returns the time it first held."""
    deadline = time.monotonic() + seconds
    while True:
        pixel = browser.screenshot()
        seen = {p: pixel(*p) for p in expected}
        if all(near(seen[p], c, tolerance) for p, c in expected.items()):
            return time.monotonic()
        if time.monotonic() > deadline:
            failures.append(f"{what}: expected {expected}, saw {seen}")
            return None
        time.sleep(0.1)


def block_centres(left, top):
    return [(left + 20 + 40 * (i % 3), top + 20 + 40 * (i // 3)) for i in range(6)]


def main():
    work = tempfile.mkdtemp(prefix="kestrova-page-")
    try:
        picture = ["convert"]
        for row in (BLOCKS[:3], BLOCKS[3:]):
            picture += ["("] + [f"xc:{hexcolour(c)}" for c in row] + ["-scale", "4000%", "+append", ")"]
        run(*picture[:1], "-size", "1x1", *picture[1:], "-append", "+repage", "blocks.png", cwd=work)
        run("convert", "-size", "120x80", "xc:#FFFFFF", "white.png", cwd=work)
        run("convert", "-size", "120x80", "xc:#C03020", "red.png", cwd=work)
        run("convert", "-size", "120x80", "xc:#2040C0", "blue.png", cwd=work)
        for folder in ("lens", "single"):
            os.mkdir(os.path.join(work, folder))
        run(CLI, "-q", "--html", "--set", "backgroundColor=" + hexcolour(BACKGROUND), "blocks.png",
            cwd=work)
        # A red lens at alpha 128 over white: green and blue drop to between a half and three
        # quarters, red stays.
        shutil.copy(os.path.join(work, "white.png"), os.path.join(work, "lens"))
        run(CLI, "-q", "--html", "--set", "useLens=1", "--set", "lensColor=#FF0000", "--set",
            "lensAlpha=128", "white.png", cwd=os.path.join(work, "lens"))
        # Two pictures of 4 frames each at 2 frames a second: the second shows 2 s after the first.
        for name in ("red.png", "blue.png"):
            shutil.copy(os.path.join(work, name), os.path.join(work, "single"))
        run(CLI, "-q", "--html", "-o", "both.swf", "--set", "frameRate=2", "--set",
            "framesPerImage=4", "--set", "loopMovie=0", "red.png", "blue.png",
            cwd=os.path.join(work, "single"))

        handler = functools.partial(QuietHandler, directory=work)
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        base = f"http://127.0.0.1:{server.server_address[1]}/"
        browser = Browser(os.path.join(work, "profile"))
        try:
            left, top = (WIDTH - 120) // 2, (HEIGHT - 80) // 2
            browser.open(base + "blocks.html")
            expected = dict(zip(block_centres(left, top), BLOCKS))
            expected[(left - 20, top + 40)] = BACKGROUND  # beside the movie: the page's colour
            expected[(left + 60, top + 100)] = BACKGROUND
            wait_for(browser, "picture blocks", expected)

            browser.open(base + "lens/white.html")
            wait_for(browser, "lens tint", {(left + 60, top + 40): (255, 160, 160)}, tolerance=33)

            centre = {(WIDTH // 2, HEIGHT // 2)}
            browser.open(base + "single/both.html")
            red = wait_for(browser, "first picture", dict.fromkeys(centre, (0xC0, 0x30, 0x20)))
            blue = wait_for(browser, "second picture", dict.fromkeys(centre, (0x20, 0x40, 0xC0)))
            # Both moments are seen between screenshots, so they are known to a few tenths.
            if red is not None and blue is not None:
                print(f"second picture after {blue - red:.2f} s")
                if not 1.2 <= blue - red <= 3.2:
                    failures.append(f"second picture after {blue - red:.2f} s, expected 2 s")
        finally:
            browser.close()
            server.shutdown()
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


if __name__ == "__main__":
    sys.exit(main())
