// The operator panel's page: the controller's screen on a canvas, kept
// current from the changed regions, with clicks and key presses sent back
// as touch and key input. Every request carries the token of the page's
// URL in a header of its own. Inputs go one at a time in the order they
// were made; one that could not be sent within a second is dropped and
// shown as not delivered. Keys held down are released when the page loses
// the keyboard or is left. When the controller stops answering, the screen
// is greyed and the page says since when.
#pragma once

namespace tvx::tool {

inline constexpr const char* kPanelPage = R"PAGE(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="referrer" content="no-referrer">
<title>Tavrix operator panel</title>
<style>
  body { background: #222; color: #ddd; font-family: sans-serif; margin: 16px; }
  canvas { border: 1px solid #555; image-rendering: pixelated; cursor: pointer; }
  canvas.stale { filter: grayscale(1) brightness(0.45); cursor: not-allowed; }
  #status { margin-top: 8px; font-size: 13px; }
  #status.stale { color: #ffb347; font-weight: bold; font-size: 16px; }
  #inputs { margin-top: 4px; font-size: 13px; min-height: 1.2em; }
  #inputs.failed { color: #ff7070; }
</style>
</head>
<body data-version="0" data-stale="0">
<canvas id="lcd" width="800" height="480" tabindex="0"></canvas>
<div id="status">connecting...</div>
<div id="inputs"></div>
<script>
"use strict";
const canvas = document.getElementById("lcd");
const context = canvas.getContext("2d");
const status = document.getElementById("status");
const inputsLine = document.getElementById("inputs");
const token = new URLSearchParams(location.search).get("token") || "";
const lifetimeMs = 1000;  // an input older than this is not sent
let version = 0;
let epoch = 0;

function api(path, options = {}) {
  options.headers = Object.assign({ "X-Panel-Token": token }, options.headers || {});
  options.cache = "no-store";
  return fetch(path, options);
}

function clock(ms) {
  const d = new Date(ms);
  return [d.getHours(), d.getMinutes(), d.getSeconds()].map((v) => String(v).padStart(2, "0")).join(":");
}

function widen(v, bits) { return Math.round(v * 255 / ((1 << bits) - 1)); }

function paint(buffer) {
  const view = new DataView(buffer);
  version = view.getUint32(0, true);
  const count = view.getUint32(4, true);
  let at = 8;
  for (let i = 0; i < count; i++) {
    const x = view.getUint16(at, true), y = view.getUint16(at + 2, true);
    const w = view.getUint16(at + 4, true), h = view.getUint16(at + 6, true);
    at += 8;
    if (w === 0 || h === 0) continue;
    const image = context.createImageData(w, h);
    for (let p = 0; p < w * h; p++) {
      const v = view.getUint16(at + 2 * p, true);
      image.data[4 * p] = widen((v >> 11) & 31, 5);
      image.data[4 * p + 1] = widen((v >> 5) & 63, 6);
      image.data[4 * p + 2] = widen(v & 31, 5);
      image.data[4 * p + 3] = 255;
    }
    context.putImageData(image, x, y);
    at += 2 * w * h;
  }
  document.body.dataset.version = String(version);
}

// The last time the screen shown was known to be current.
let lastAnswer = Date.now();

function showLive() {
  lastAnswer = Date.now();
  canvas.classList.remove("stale");
  status.classList.remove("stale");
  document.body.dataset.stale = "0";
  status.textContent = "connected, screen version " + version;
}

function showStale(since, why) {
  canvas.classList.add("stale");
  status.classList.add("stale");
  document.body.dataset.stale = "1";
  status.textContent = "no answer since " + clock(since) + " (" + why + "); the screen shown is not current";
}

async function poll() {
  try {
    const reply = await api("/api/frame?since=" + version + "&epoch=" + epoch);
    if (reply.ok) {
      epoch = Number(reply.headers.get("X-Panel-Epoch")) || 0;
      paint(await reply.arrayBuffer());
      showLive();
    } else if (reply.status === 503) {
      const info = await reply.json();
      showStale(info.lastAnswer || lastAnswer, "controller: result " + info.result);
    } else {
      showStale(lastAnswer, "panel: " + reply.status + " " + (await reply.text()).trim());
    }
  } catch (e) {
    showStale(lastAnswer, "tvx panel does not answer");
  }
  setTimeout(poll, 100);
}

async function start() {
  try {
    const reply = await api("/api/info");
    if (!reply.ok) throw new Error(reply.status + " " + (await reply.text()).trim());
    const info = await reply.json();
    canvas.width = info.width;
    canvas.height = info.height;
  } catch (e) {
    status.textContent = "cannot start: " + e.message;
    setTimeout(start, 1000);
    return;
  }
  poll();
}

// Inputs: numbered in the order made, sent one at a time.
const pageId = Array.from(crypto.getRandomValues(new Uint8Array(12)), (b) => b.toString(16).padStart(2, "0")).join("");
let nextSeq = 1;
const queue = [];
let sending = false;

function describe(input) {
  return input.kind === "touch" ? "touch at " + input.x + "," + input.y
                                : "key " + input.key + (input.state ? " down" : " up");
}

function report(input, ok, why) {
  inputsLine.className = ok ? "" : "failed";
  inputsLine.textContent = ok ? describe(input) + " delivered" : describe(input) + " not delivered (" + why + ")";
  if (!ok) document.body.dataset.undelivered = String(Number(document.body.dataset.undelivered || 0) + 1);
}

function post(input, keepalive) {
  const body = Object.assign({ page: pageId, sent: performance.now() }, input);
  return api("/api/input", { method: "POST", keepalive: keepalive,
                             headers: { "Content-Type": "application/json" }, body: JSON.stringify(body) });
}

function enqueue(fields) {
  queue.push(Object.assign({ seq: nextSeq++, made: performance.now() }, fields));
  if (!sending) sendAll();
}

async function sendAll() {
  sending = true;
  while (queue.length > 0) {
    const input = queue.shift();
    if (performance.now() - input.made > lifetimeMs) {
      report(input, false, "too late to send");
      continue;
    }
    try {
      const reply = await post(input, false);
      const answer = await reply.json().catch(() => ({}));
      if (reply.ok) report(input, true);
      else report(input, false, answer.outcome === "failed" ? "controller: result " + answer.result
                                : answer.outcome || answer.error || ("panel: " + reply.status));
    } catch (e) {
      report(input, false, "tvx panel does not answer");
    }
  }
  sending = false;
}

canvas.addEventListener("click", (e) => {
  const box = canvas.getBoundingClientRect();
  const x = Math.floor((e.clientX - box.left) * canvas.width / box.width);
  const y = Math.floor((e.clientY - box.top) * canvas.height / box.height);
  enqueue({ kind: "touch", x: x, y: y });
  canvas.focus();
});

// Keys down now; each is released when the page loses the keyboard.
const held = new Set();
canvas.addEventListener("keydown", (e) => {
  e.preventDefault();
  if (e.repeat || held.has(e.keyCode)) return;
  held.add(e.keyCode);
  enqueue({ kind: "key", key: e.keyCode, state: 1 });
});
canvas.addEventListener("keyup", (e) => {
  e.preventDefault();
  held.delete(e.keyCode);
  enqueue({ kind: "key", key: e.keyCode, state: 0 });
});
function releaseHeld() {
  for (const key of held) enqueue({ kind: "key", key: key, state: 0 });
  held.clear();
}
canvas.addEventListener("blur", releaseHeld);
window.addEventListener("blur", releaseHeld);
document.addEventListener("visibilitychange", () => { if (document.hidden) releaseHeld(); });
// Leaving the page: no time to wait for the queue. The releases go at once
// (numbered after everything queued, so nothing earlier can follow them).
window.addEventListener("pagehide", () => {
  for (const key of held) post({ seq: nextSeq++, made: performance.now(), kind: "key", key: key, state: 0 }, true);
  held.clear();
});

start();
</script>
</body>
</html>
)PAGE";

}  // namespace tvx::tool
