// Opens the operator panel in Chromium and checks what its user sees:
// the controller's screen, a touch followed on it, a key held down released
// when the page loses the keyboard, and a controller that dies and comes
// back (the page says so within two seconds and greys the screen; a click
// meanwhile is shown as not delivered). Takes screenshots: panel.png,
// panel-dead.png (controller gone) and panel-back.png in OUT_DIR.
// Usage: node panel_test.mjs URL OUT_DIR PROFILE_DIR SIM ADDRESS SIM_PID
import { spawn } from "node:child_process";
import { chromium } from "playwright-core";

const [url, outDir, profile, simPath, simAddress, simPid] = process.argv.slice(2);
const chromiumPath = process.env.TVX_CHROMIUM || "/usr/bin/chromium";

// The panel's canvas pixels of a rectangle, as one string to compare.
async function pixels(page, x, y, w, h) {
  return page.evaluate(([x, y, w, h]) => {
    const c = document.getElementById("lcd").getContext("2d");
    return Array.from(c.getImageData(x, y, w, h).data).join(",");
  }, [x, y, w, h]);
}

async function waitFor(what, test, ms = 15000) {
  const end = Date.now() + ms;
  while (Date.now() < end) {
    if (await test()) return;
    await new Promise((r) => setTimeout(r, 50));
  }
  throw new Error("timed out waiting for " + what);
}

const text = (page, selector) => page.textContent(selector);
const keyRow = (page) => pixels(page, 20, 350, 560, 36);

// The simulator again on its address, as a child of this script.
async function startSimulator() {
  const child = spawn(simPath, ["--address", simAddress, "--exit-with-parent"], { stdio: ["ignore", "ignore", "pipe"] });
  let log = "";
  child.stderr.on("data", (d) => { log += d; });
  await waitFor("the simulator to listen", async () => log.includes("listening"), 5000);
  return child;
}

const context = await chromium.launchPersistentContext(profile, {
  executablePath: chromiumPath,
  headless: true,
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
         "--disable-component-update", "--disable-sync", "--no-first-run"],
});
let simulator = null;
try {
  const page = context.pages()[0] || (await context.newPage());
  await page.goto(url);
  await waitFor("the first screen", async () => (await page.getAttribute("body", "data-version")) !== "0");
  // The screen is there: the title bar is drawn, not left blank.
  const title = (await pixels(page, 0, 0, 440, 64)).split(",");
  const colours = new Set();
  for (let i = 0; i < title.length; i += 4) colours.add(title.slice(i, i + 3).join(","));
  if (colours.size < 2) throw new Error("the title bar shows " + colours.size + " colour(s)");

  // VR(0) is shown in the row at y 140..176; "+1" is the button at 600..780 x 278..354.
  const before = await pixels(page, 20, 140, 560, 36);
  const box = await page.locator("#lcd").boundingBox();
  const plusOne = [box.x + 690 * box.width / 800, box.y + 316 * box.height / 480];
  await page.mouse.click(...plusOne);
  await waitFor("the screen to show the touch", async () => (await pixels(page, 20, 140, 560, 36)) !== before);
  await page.screenshot({ path: outDir + "/panel.png" });

  // A key tap: the controller's key row ends showing "KEY: 65 UP".
  await page.focus("#lcd");
  await page.keyboard.press("KeyA");
  await waitFor("the tap's release delivered", async () => (await text(page, "#inputs")) === "key 65 up delivered");
  await page.waitForTimeout(500);
  const released = await keyRow(page);
  // Held down, the row changes ("DOWN"); the canvas loses the keyboard
  // while the key is still down: the page releases it by itself.
  await page.keyboard.down("KeyA");
  await waitFor("the key held on the controller", async () => (await keyRow(page)) !== released);
  await page.evaluate(() => document.getElementById("lcd").blur());
  await waitFor("the held key released on blur", async () => (await keyRow(page)) === released, 5000);
  await page.keyboard.up("KeyA");
  // The same when the window loses focus.
  await page.focus("#lcd");
  await page.keyboard.down("KeyA");
  await waitFor("the key held again", async () => (await keyRow(page)) !== released);
  await page.evaluate(() => window.dispatchEvent(new Event("blur")));
  await waitFor("the held key released when the window lost focus", async () => (await keyRow(page)) === released, 5000);
  await page.keyboard.up("KeyA");
  await waitFor("the last input answered", async () => (await text(page, "#inputs")) === "key 65 up delivered");
  console.log("held keys are released when the page loses the keyboard");

  // The controller dies: within two seconds the page says since when it
  // has had no answer, and greys the screen.
  process.kill(Number(simPid), "SIGKILL");
  const killed = Date.now();
  await waitFor("the page to say the controller does not answer", async () =>
    (await page.getAttribute("body", "data-stale")) === "1", 5000);
  const noticeMs = Date.now() - killed;
  const notice = await text(page, "#status");
  if (!/no answer since \d\d:\d\d:\d\d/.test(notice)) throw new Error("the stale notice reads: " + notice);
  if (noticeMs > 2000) throw new Error("the page said so only after " + noticeMs + " ms");
  const filter = await page.evaluate(() => getComputedStyle(document.getElementById("lcd")).filter);
  if (!filter.includes("grayscale")) throw new Error("the stale screen is not greyed: filter " + filter);
  // A click meanwhile is not delivered, and the page says so.
  await page.mouse.click(...plusOne);
  await waitFor("the click shown as not delivered",
    async () => /touch at \d+,\d+ not delivered/.test(await text(page, "#inputs")), 5000);
  // Still stale a while later: the page does not slip back to "connected".
  await page.waitForTimeout(700);
  if ((await page.getAttribute("body", "data-stale")) !== "1") throw new Error("the page stopped saying the controller is gone");
  await page.screenshot({ path: outDir + "/panel-dead.png" });
  console.log("controller gone: '" + notice + "' after " + noticeMs + " ms; click: '" + (await text(page, "#inputs")) + "'");

  // It comes back: the page recovers by itself.
  simulator = await startSimulator();
  const restarted = Date.now();
  await waitFor("the page to recover", async () => (await page.getAttribute("body", "data-stale")) === "0", 10000);
  const v = Number(await page.getAttribute("body", "data-version"));
  await waitFor("the screen to move on", async () => Number(await page.getAttribute("body", "data-version")) > v, 5000);
  await page.screenshot({ path: outDir + "/panel-back.png" });
  console.log("controller back: page live again after " + (Date.now() - restarted) + " ms: '" + (await text(page, "#status")) + "'");
} finally {
  await context.close();
  if (simulator) simulator.kill();
}
