#!/usr/bin/python3
"""Plays a web build's page in a headless Chromium, as the web tests' hands.

    web_page.py PAGE_DIR OUT_DIR [--query Q] [--size WxH] [--ratio R] [--sound] STEP...

serves PAGE_DIR from 127.0.0.1 (a port of its own), opens index.html?Q in
Debian's chromium (headless, WebGL2 on SwiftShader) through chromedriver, at
a viewport of WxH CSS pixels (1024x768) and a device pixel ratio of R (1),
muted unless --sound lets it play through the sound server its environment
names (PULSE_SERVER), and runs the
steps in order:

    clock T        wait until the game's clock (the page title "Time: T") is T
    frames N       wait until the page has shown N frames
    size W H       resize the viewport to W x H CSS pixels
    sleep S        wait S seconds
    shot NAME      save the viewport as OUT_DIR/NAME.png; the clock, the frames shown
                   and whether the page is full screen are noted
    key KEY        press and release KEY (space, f3, f11, f12, escape, left, right, a
                   letter)
    hold KEY S     hold KEY for S seconds
    click X Y      a left click at X, Y (CSS pixels from the top-left corner)
    move X Y       move the mouse to X, Y
    audio NAME     note the state of the page's Web Audio contexts
    download NAME  wait until the page has handed the browser a download NAME;
                   it lands in OUT_DIR/downloads/NAME

It writes OUT_DIR/facts.txt, one fact a line, for the C++ tests to read:
"shot NAME CLOCK FRAMES FULLSCREEN" (1 or 0), "audio NAME STATE...", "canvas W H", "loaded SECONDS"
(from navigation to the first frame, as the page measured it), "frames N"
(how many frames the page showed) and "console TEXT" for each line of the
page's console. The exit status is 0 when every step ran; otherwise 1, with
the reason on standard error (facts.txt is still written).
"""
import functools
import http.server
import os
import re
import sys
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys

KEYS = {"space": Keys.SPACE, "f3": Keys.F3, "escape": Keys.ESCAPE, "left": Keys.ARROW_LEFT,
        "right": Keys.ARROW_RIGHT, "up": Keys.ARROW_UP, "down": Keys.ARROW_DOWN,
        "enter": Keys.ENTER, "f11": Keys.F11, "f12": Keys.F12}
TIMEOUT = 60.0


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript"}

    def log_message(self, *args):
        pass


def serve(folder):
    handler = functools.partial(QuietHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def browser(width, height, ratio, sound):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ["--headless=new", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
                     "--no-sandbox", "--disable-gpu-vsync",
                     "--autoplay-policy=user-gesture-required",
                     f"--window-size={width},{height + 200}"] + ([] if sound else ["--mute-audio"]):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": width, "height": height, "deviceScaleFactor": ratio,
                            "mobile": False})
    return driver


def clock(driver):
    match = re.match(r"Time: ([0-9.]+)", driver.title or "")
    return float(match.group(1)) if match else -1.0


def frames(driver):
    return driver.execute_script("return Module.velmoraFrames || 0")


def wait_for(what, condition):
    deadline = time.time() + TIMEOUT
    while time.time() < deadline:
        if condition():
            return
        time.sleep(0.02)
    raise RuntimeError(f"timed out waiting for {what}")


def key_of(name):
    return KEYS.get(name, name)


def run(driver, steps, out, facts):
    page = driver.find_element("id", "canvas")
    index = 0
    while index < len(steps):
        step = steps[index]
        index += 1
        if step == "size":
            width, height = int(steps[index]), int(steps[index + 1])
            index += 2
            driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                   {"width": width, "height": height, "deviceScaleFactor": 1,
                                    "mobile": False})
        elif step == "clock":
            target = float(steps[index])
            index += 1
            wait_for(f"the clock to reach {target}", lambda: clock(driver) >= target)
        elif step == "frames":
            count = int(steps[index])
            index += 1
            wait_for(f"{count} frames", lambda: frames(driver) >= count)
        elif step == "sleep":
            time.sleep(float(steps[index]))
            index += 1
        elif step == "shot":
            name = steps[index]
            index += 1
            facts["shots"][name] = (clock(driver), frames(driver), driver.execute_script(
                "return document.fullscreenElement ? 1 : 0"))
            driver.save_screenshot(os.path.join(out, name + ".png"))
        elif step == "key":
            ActionChains(driver).send_keys(key_of(steps[index])).perform()
            index += 1
        elif step == "hold":
            key, seconds = key_of(steps[index]), float(steps[index + 1])
            index += 2
            ActionChains(driver).key_down(key).perform()
            time.sleep(seconds)
            ActionChains(driver).key_up(key).perform()
        elif step in ("click", "move"):
            x, y = int(steps[index]), int(steps[index + 1])
            index += 2
            actions = ActionChains(driver).move_to_element_with_offset(
                page, x - page.rect["width"] // 2, y - page.rect["height"] // 2)
            (actions.click() if step == "click" else actions).perform()
        elif step == "download":
            path = os.path.join(out, "downloads", steps[index])
            index += 1
            wait_for(f"the download {path}", lambda: os.path.isfile(path))
        elif step == "audio":
            facts["audio"][steps[index]] = driver.execute_script(
                "return window.miniaudio ? window.miniaudio.devices"
                ".filter(d => d && d.webaudio).map(d => d.webaudio.state) : []")
            index += 1
        else:
            raise RuntimeError(f"unknown step {step!r}")


def main(argv):
    query, size, ratio, sound, args = "", (1024, 768), 1.0, False, []
    i = 0
    while i < len(argv):
        if argv[i] == "--query":
            query = argv[i + 1]
            i += 2
        elif argv[i] == "--ratio":
            ratio = float(argv[i + 1])
            i += 2
        elif argv[i] == "--sound":
            sound = True
            i += 1
        elif argv[i] == "--size":
            size = tuple(int(v) for v in argv[i + 1].split("x"))
            i += 2
        else:
            args.append(argv[i])
            i += 1
    if len(args) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    folder, out, steps = args[0], args[1], args[2:]
    os.makedirs(out, exist_ok=True)
    facts = {"shots": {}, "audio": {}, "console": [], "canvas": [0, 0], "loaded": -1.0}
    server = serve(folder)
    driver = browser(size[0], size[1], ratio, sound)
    driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                           {"behavior": "allow", "downloadPath": os.path.join(
                               os.path.abspath(out), "downloads")})
    status = 0
    try:
        driver.get(f"http://127.0.0.1:{server.server_address[1]}/index.html"
                   + (f"?{query}" if query else ""))
        wait_for("the first frame", lambda: frames(driver) >= 1)
        facts["loaded"] = driver.execute_script("return Module.velmoraFirstFrameAt") / 1000.0
        run(driver, steps, out, facts)
    except Exception as error:  # reported, and the facts so far are kept
        print(f"web_page: {error}", file=sys.stderr)
        status = 1
    finally:
        try:
            facts["canvas"] = driver.execute_script(
                "var c = document.getElementById('canvas'); return [c.width, c.height]")
            facts["frames"] = frames(driver)
            facts["console"] = [entry["message"] for entry in driver.get_log("browser")]
        finally:
            driver.quit()
            server.shutdown()
    with open(os.path.join(out, "facts.txt"), "w") as file:
        for name, (at, shown, full) in facts["shots"].items():
            file.write(f"shot {name} {at} {shown} {full}\n")
        for name, states in facts["audio"].items():
            file.write(" ".join(["audio", name] + states) + "\n")
        file.write("canvas {} {}\n".format(*facts["canvas"]))
        file.write(f"loaded {facts['loaded']}\n")
        file.write(f"frames {facts.get('frames', 0)}\n")
        for line in facts["console"]:
            file.write("console " + line.replace("\n", " ") + "\n")
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
