#!/usr/bin/python3
"""One run of the bunnymark's page in headless Chromium, as bunny_search runs a program.

    web_bunnymark.py PAGE_DIR COUNT SECONDS

serves PAGE_DIR (the web build's bunnymark/) from 127.0.0.1, opens
index.html?windowed&count=COUNT in the web tests' Chromium (headless,
WebGL2 on SwiftShader, a 1024x768 viewport: tests/support/web_page.py), waits
SECONDS from the page's first frame and prints the last line the page
wrote to its console,

    COUNT sprites F frames/s C ms CPU/frame

F being the page's average rate after its first second. Exits 1, with the
reason on standard error, when the page printed no such line (it did not
load within a minute, or drew too slowly to count a frame after its first
second).
"""
import os
import re
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "support"))
import web_page  # noqa: E402  (the web tests' server and browser)

LINE = re.compile(r"(\d+) sprites ([0-9.]+) frames/s ([0-9.]+) ms CPU/frame")


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    folder, count, seconds = argv[0], int(argv[1]), float(argv[2])
    server = web_page.serve(folder)
    driver = web_page.browser(1024, 768, 1.0, sound=False)
    lines = []
    try:
        driver.get(f"http://127.0.0.1:{server.server_address[1]}/index.html"
                   f"?windowed&count={count}")
        web_page.wait_for("the first frame", lambda: web_page.frames(driver) >= 1)
        time.sleep(seconds + 0.05)  # the page's clock starts at its first frame
        lines = [entry["message"] for entry in driver.get_log("browser")]
    except Exception as error:  # reported; a run without a line counts as failed
        print(f"web_bunnymark: {error}", file=sys.stderr)
    finally:
        driver.quit()
        server.shutdown()
    reports = [m for m in (LINE.search(line) for line in lines) if m and int(m.group(1)) == count]
    if not reports:
        print(f"web_bunnymark: the page printed no rate for {count} sprites", file=sys.stderr)
        return 1
    print(reports[-1].group(0))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
