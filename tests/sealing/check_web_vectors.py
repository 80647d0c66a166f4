#!/usr/bin/python3
"""Runs build-web/sealing_vectors.html (tests/sealing/web_sealing_vectors.cpp) in headless Chromium: the page's
WebCrypto against the shared known answers, under the page's own content-security policy.

Usage: check_web_vectors.py PAGE.html
Passes when every vector agrees, the program says "result: 0", and the browser logged no error (a policy the page
broke, a request it made).
"""

import sys
import tempfile
from pathlib import Path

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

CHROMIUM_ARGUMENTS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                      "--disable-background-networking", "--disable-component-update", "--disable-sync"]


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    page = Path(argv[1]).resolve()
    if not page.is_file():
        sys.exit(f"no page {page}: ./tools/build-web.sh builds it")
    with tempfile.TemporaryDirectory(prefix="web-vectors-") as profile:
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for argument in CHROMIUM_ARGUMENTS + [f"--user-data-dir={profile}"]:
            options.add_argument(argument)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        try:
            driver.get(page.as_uri())
            # Each vector's PBKDF2 takes a few iterations only; the wait is for the last line the program prints.
            out = driver.find_element(By.ID, "out")
            WebDriverWait(driver, 60).until(lambda d: "result:" in out.text)
            text = out.text
            errors = [entry["message"] for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]
        finally:
            driver.quit()
    print(text)
    for message in errors:
        print("browser:", message[:400])
    lines = [line for line in text.splitlines() if line.startswith("vector ")]
    ok = (lines and all(line.endswith(": ok") for line in lines) and text.rstrip().endswith("result: 0")
          and not errors)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
