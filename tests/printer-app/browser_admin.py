#!/usr/bin/env python3
"""The printer's settings page in a real browser (headless Chromium).

Run by browser_admin.sh inside the test's namespaces, against the server it
started. Two steps, each a separate browser with a fresh profile:

  refused BASE PRINTER CODE SHOTS: without logging in, a form built on the
      printer's public page (with the form token that page gives) posts the
      owner code type CODE to the settings page; the answer must be a
      refusal (401).
  change BASE PRINTER CODE SHOTS USER PASSWORD: logged in with HTTP Basic
      (an Authorization header on every request), selects CODE as the owner
      code type on the settings page and saves; the page must then show it.

Screenshots go to SHOTS. Exit status 0 when the step saw what it must, 1
otherwise (with the reason), 77 when the browser cannot run.
"""

import base64
import json
import os
import sys
import tempfile
import time

FIELD = "rkvtps-owner-code-type"


def skip(reason):
    print(f"SKIP: {reason}")
    sys.exit(1 if os.environ.get("RK_REQUIRE_CUPS") else 77)


try:
    from selenium import webdriver
    from selenium.common.exceptions import WebDriverException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import Select
except ImportError:
    skip("python3-selenium is missing (scripts/install-deps.sh installs it)")


def start_browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    # Root cannot use Chromium's sandbox; nothing else here reaches outside
    # the test's network namespace.
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                 "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync",
                 "--window-size=1200,1000", f"--user-data-dir={profile}"):
        options.add_argument(flag)
    # The server's certificate is the self-signed one it made at its start.
    options.accept_insecure_certs = True
    # The network log says what the server answered, also to a page the
    # browser shows empty.
    options.set_capability("goog:loggingPrefs", {"performance": "ALL"})
    try:
        return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    except WebDriverException as error:
        skip(f"Chromium does not start here: {error.msg}")


def shoot(driver, shots, name):
    os.makedirs(shots, exist_ok=True)
    driver.save_screenshot(os.path.join(shots, name + ".png"))


def answers(driver, url):
    """The HTTP statuses the server gave for url since the last call."""
    statuses = []
    for entry in driver.get_log("performance"):
        message = json.loads(entry["message"])["message"]
        if message.get("method") == "Network.responseReceived":
            response = message["params"]["response"]
            if response["url"] == url:
                statuses.append(response["status"])
    return statuses


def refused(driver, base, printer, code, shots):
    driver.get(f"{base}/{printer}/")
    tokens = driver.find_elements(By.NAME, "session")
    if not tokens:
        return "the printer's page gives no form token"
    token = tokens[0].get_attribute("value")
    # The same POST the settings page would send, from this page.
    driver.execute_script(
        """const form = document.createElement('form');
        form.method = 'POST';
        form.action = arguments[0];
        for (const [name, value] of [['session', arguments[1]], [arguments[2], arguments[3]]]) {
          const input = document.createElement('input');
          input.type = 'hidden';
          input.name = name;
          input.value = value;
          form.appendChild(input);
        }
        document.body.appendChild(form);
        form.submit();""",
        f"{base}/{printer}/printing", token, FIELD, str(code))
    # The answer to the form, once the browser has it.
    settings = f"{base}/{printer}/printing"
    statuses = []
    for _ in range(50):
        statuses += answers(driver, settings)
        if statuses:
            break
        time.sleep(0.1)
    shoot(driver, shots, "settings-refused")
    if statuses != [401]:
        return f"the settings page answered {statuses or 'nothing'} to a form without a login"
    return None


def change(driver, base, printer, code, shots, user, password):
    credentials = base64.b64encode(f"{user}:{password}".encode()).decode()
    driver.execute_cdp_cmd("Network.enable", {})
    driver.execute_cdp_cmd("Network.setExtraHTTPHeaders",
                           {"headers": {"Authorization": f"Basic {credentials}"}})
    driver.get(f"{base}/{printer}/")
    shoot(driver, shots, "printer")
    driver.get(f"{base}/{printer}/printing")
    fields = driver.find_elements(By.NAME, FIELD)
    if not fields:
        shoot(driver, shots, "settings-missing")
        return f"the settings page has no {FIELD} field: {driver.page_source[:300]!r}"
    field = fields[0]
    if field.tag_name == "select":
        Select(field).select_by_value(str(code))
    else:
        field.clear()
        field.send_keys(str(code))
    field.find_element(By.XPATH, "ancestor::form//input[@type='submit']").click()
    driver.implicitly_wait(5)
    driver.get(f"{base}/{printer}/printing")
    shoot(driver, shots, "settings")
    shown = driver.find_element(By.NAME, FIELD)
    value = (Select(shown).first_selected_option.get_attribute("value")
             if shown.tag_name == "select" else shown.get_attribute("value"))
    if value != str(code):
        return f"after saving, the settings page shows {value}, not {code}"
    return None


def main():
    if len(sys.argv) < 6:
        print(__doc__)
        return 2
    step, base, printer, code, shots = sys.argv[1:6]
    with tempfile.TemporaryDirectory(prefix="rk-chromium-") as profile:
        driver = start_browser(profile)
        try:
            if step == "refused":
                problem = refused(driver, base, printer, code, shots)
            else:
                problem = change(driver, base, printer, code, shots, *sys.argv[6:8])
        finally:
            driver.quit()
    if problem:
        print(f"FAIL: browser, {step}: {problem}")
        return 1
    print(f"browser, {step}: as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main())
