// Opens the operator panel in Chromium, waits for the controller's screen
// on the canvas, clicks the screen's "+1" button and waits for the screen
// to show the change, then takes a screenshot.
// Usage: node panel_test.mjs URL SCREENSHOT.png PROFILE_DIR
import { chromium } from "playwright-core";

const [url, screenshot, profile] = process.argv.slice(2);
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
    await new Promise((r) => setTimeout(r, 100));
  }
  throw new Error("timed out waiting for " + what);
}

const context = await chromium.launchPersistentContext(profile, {
  executablePath: chromiumPath,
  headless: true,
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
         "--disable-component-update", "--disable-sync", "--no-first-run"],
});
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
  await page.mouse.click(box.x + 690 * box.width / 800, box.y + 316 * box.height / 480);
  await waitFor("the screen to show the touch", async () => (await pixels(page, 20, 140, 560, 36)) !== before);
  await page.screenshot({ path: screenshot });
  console.log("panel shows the screen and follows a touch; screenshot " + screenshot);
} finally {
  await context.close();
}
