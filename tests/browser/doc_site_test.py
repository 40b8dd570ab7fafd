#!/usr/bin/python3
"""The site of quillmark doc in a real browser (Debian's headless Chromium through chromedriver).

For the example project and for a generated one: open the index from file://, type into the search
box, check the results, follow a result and a link in a stamp's text to a procedure's anchor. Fails
on any console message of level SEVERE and on any request that leaves the site's folder.

    doc_site_test.py QUILLMARK EXAMPLES_DIR

Status 77 (skipped) where Chromium, its driver or Selenium is not installed.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

try:
    from selenium import webdriver
except ImportError:
    print("python3-selenium is missing (apt-get install chromium chromium-driver python3-selenium): skipped")
    sys.exit(77)
if not os.path.exists("/usr/bin/chromedriver"):
    print("chromium-driver is missing (apt-get install chromium chromium-driver python3-selenium): skipped")
    sys.exit(77)

from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions as EC
from selenium.webdriver.support.ui import WebDriverWait

QUILLMARK, EXAMPLES = sys.argv[1], sys.argv[2]
FAILURES = []


def check(condition, message):
    if not condition:
        FAILURES.append(message)
        print("FAIL: " + message, flush=True)


def quillmark(*args):
    done = subprocess.run([QUILLMARK, *args], capture_output=True, text=True, timeout=120)
    if done.returncode != 0:
        raise SystemExit("quillmark %s failed (%d): %s" % (" ".join(args), done.returncode, done.stderr))


def generated_project(folder):
    """A project of 30 modules whose stamps say what each procedure is for."""
    os.makedirs(folder)
    members = []
    for m in range(30):
        name = "Parts%02d" % m
        members.append("Module=%s; %s.bas" % (name, name))
        lines = ['Attribute VB_Name = "%s"' % name, "' @(h) %s.bas  ver 1.0 ( '24.04.01 USERNAME )" % name, "' @(s)",
                 "' 部品%02d の在庫を扱う" % m, "Option Explicit", ""]
        for p in range(20):
            proc = "Stock%02d_%02d" % (m, p)
            lines += ["' @(f)", "' 関数名　: " + proc, "' 機能　　: 部品%02d-%02dの在庫数を数える" % (m, p),
                      "' 引数　　: code - 部品の番号", "' 戻り値　: 在庫数",
                      "Public Function %s(ByVal code As String) As Long" % proc,
                      "    %s = Len(code)%s" % (proc, "" if p == 0 else " + Stock%02d_%02d(code)" % (m, p - 1)),
                      "End Function", ""]
        with open(os.path.join(folder, name + ".bas"), "w", encoding="cp932", newline="\r\n") as f:
            f.write("\n".join(lines) + "\n")
    with open(os.path.join(folder, "Parts.vbp"), "w", encoding="cp932", newline="\r\n") as f:
        f.write("Type=Exe\n" + "\n".join(members) + '\nName="部品管理"\n')
    return os.path.join(folder, "Parts.vbp")


def browser():
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--disable-gpu", "--window-size=1200,900", "--disable-dev-shm-usage",
                     "--no-first-run", "--disable-background-networking", "--disable-component-update",
                     "--disable-default-apps", "--disable-sync"):
        options.add_argument(argument)
    if os.geteuid() == 0:
        options.add_argument("--no-sandbox")
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def requests_outside(driver, folder):
    """Every URL the pages asked for that is not a file of the site's folder."""
    prefix = "file://" + os.path.realpath(folder) + "/"
    outside = []
    for entry in driver.get_log("performance"):
        message = json.loads(entry["message"])["message"]
        if message.get("method") != "Network.requestWillBeSent":
            continue
        url = message["params"]["request"]["url"]
        if not url.startswith(prefix) and not url.startswith("data:"):
            outside.append(url)
    return outside


def console_errors(driver):
    return [e["message"] for e in driver.get_log("browser") if e["level"] == "SEVERE"]


def search(driver, text):
    box = driver.find_element(By.ID, "qm-search")
    box.clear()
    box.send_keys(text)
    WebDriverWait(driver, 10).until(EC.visibility_of_element_located((By.CSS_SELECTOR, "#qm-results li")))
    return driver.find_elements(By.CSS_SELECTOR, "#qm-results li")


def at_anchor(driver, anchor):
    WebDriverWait(driver, 10).until(lambda d: d.execute_script("return location.hash") == "#" + anchor)
    target = driver.execute_script("return document.querySelector(':target') && document.querySelector(':target').id")
    check(target == anchor, "the page shows %s as its target, not %r" % (anchor, target))
    top = driver.execute_script("return document.getElementById(arguments[0]).getBoundingClientRect().top", anchor)
    check(0 <= top < 400, "%s is scrolled into view (top %s)" % (anchor, top))


def site_of_example(driver, site):
    driver.get("file://" + os.path.join(os.path.realpath(site), "index.html"))
    check("請求書サンプル" in driver.page_source, "the index names the project")
    # A Japanese substring of a stamp's text finds the procedure.
    results = search(driver, "消費税")
    names = [r.find_element(By.TAG_NAME, "a").text for r in results]
    check("AddTax" in names, "a search for 消費税 finds AddTax: %s" % names)
    # Half-width katakana in the box finds full-width text, and a name finds its module.
    check(any(r.find_element(By.TAG_NAME, "a").text == "Invoice" for r in search(driver, "invoice")),
          "a search for invoice finds the module")
    check("見つかりません" in search(driver, "存在しない言葉")[0].text, "a search without a match says so")
    # Follow the result to the procedure's anchor.
    link = next(r.find_element(By.TAG_NAME, "a") for r in search(driver, "消費税")
                if r.find_element(By.TAG_NAME, "a").text == "AddTax")
    link.click()
    WebDriverWait(driver, 10).until(lambda d: "/modules/Tax.bas.html" in d.current_url)
    at_anchor(driver, "AddTax")
    # A name in a stamp's text links to that procedure.
    driver.find_element(By.CSS_SELECTOR, "#AddTax dd a[href='#RoundDown']").click()
    at_anchor(driver, "RoundDown")
    # And a call into another module goes to that module's page.
    driver.get("file://" + os.path.join(os.path.realpath(site), "modules", "Invoice.cls.html"))
    driver.find_element(By.CSS_SELECTOR, "#AddLine .refs a[href$='Tax.bas.html#RateOf']").click()
    WebDriverWait(driver, 10).until(lambda d: "/modules/Tax.bas.html" in d.current_url)
    at_anchor(driver, "RateOf")
    # The search works on a page in a folder below the index, too.
    results = search(driver, "請求書")
    check(any(r.find_element(By.TAG_NAME, "a").text == "Invoice" for r in results), "the search works on a module page")


def site_of_generated(driver, site):
    driver.get("file://" + os.path.join(os.path.realpath(site), "index.html"))
    results = search(driver, "部品17-05の在庫")
    names = [r.find_element(By.TAG_NAME, "a").text for r in results]
    check(names == ["Stock17_05"], "the search finds exactly Stock17_05: %s" % names)
    box = driver.find_element(By.ID, "qm-search")
    box.send_keys("\n")  # Enter follows the first result
    WebDriverWait(driver, 10).until(lambda d: "/modules/Parts17.bas.html" in d.current_url)
    at_anchor(driver, "Stock17_05")
    driver.find_element(By.CSS_SELECTOR, "#Stock17_05 .refs a[href='#Stock17_04']").click()
    at_anchor(driver, "Stock17_04")
    check(len(search(driver, "Stock")) == 50, "a search with many matches shows the first 50")


def main():
    work = tempfile.mkdtemp(prefix="qm-browser-")
    driver = None
    try:
        example_site = os.path.join(work, "example")
        quillmark("doc", os.path.join(EXAMPLES, "Example.vbp"), "--settings", os.path.join(EXAMPLES, ".quillmark.reg"),
                  "--output", example_site, "--now", "2026-12-08 10:00:00")
        generated_site = os.path.join(work, "generated")
        quillmark("doc", generated_project(os.path.join(work, "parts")), "--settings",
                  os.path.join(EXAMPLES, ".quillmark.reg"), "--output", generated_site)
        driver = browser()
        for name, site, steps in (("example", example_site, site_of_example), ("generated", generated_site, site_of_generated)):
            print("site of the %s project" % name, flush=True)
            steps(driver, site)
            time.sleep(0.2)
            errors = console_errors(driver)
            check(not errors, "no console errors: %s" % errors)
            outside = requests_outside(driver, site)
            check(not outside, "no request leaves the folder: %s" % outside)
    finally:
        if driver is not None:
            driver.quit()
        shutil.rmtree(work, ignore_errors=True)
    if FAILURES:
        print("%d check(s) failed" % len(FAILURES))
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
