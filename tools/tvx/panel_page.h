// The operator panel's page: the controller's screen on a canvas, kept
// current from the changed regions, with clicks and key presses sent back
// as touch and key input.
#pragma once

namespace tvx::tool {

inline constexpr const char* kPanelPage = R"PAGE(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Tavrix operator panel</title>
<style>
  body { background: #222; color: #ddd; font-family: sans-serif; margin: 16px; }
  canvas { border: 1px solid #555; image-rendering: pixelated; cursor: pointer; }
  #status { margin-top: 8px; font-size: 13px; }
</style>
</head>
<body data-version="0">
<canvas id="lcd" width="800" height="480" tabindex="0"></canvas>
<div id="status">connecting...</div>
<script>
"use strict";
const canvas = document.getElementById("lcd");
const context = canvas.getContext("2d");
const status = document.getElementById("status");
let version = 0;

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

async function poll() {
  try {
    const reply = await fetch("/api/frame?since=" + version);
    if (!reply.ok) throw new Error(await reply.text());
    paint(await reply.arrayBuffer());
    status.textContent = "connected, screen version " + version;
  } catch (e) {
    status.textContent = "no connection: " + e.message;
  }
  setTimeout(poll, 100);
}

async function start() {
  const info = await (await fetch("/api/info")).json();
  canvas.width = info.width;
  canvas.height = info.height;
  poll();
}

canvas.addEventListener("click", (e) => {
  const box = canvas.getBoundingClientRect();
  const x = Math.floor((e.clientX - box.left) * canvas.width / box.width);
  const y = Math.floor((e.clientY - box.top) * canvas.height / box.height);
  fetch("/api/touch?x=" + x + "&y=" + y, { method: "POST" });
  canvas.focus();
});
for (const [type, state] of [["keydown", 1], ["keyup", 0]]) {
  canvas.addEventListener(type, (e) => {
    fetch("/api/key?key=" + e.keyCode + "&state=" + state, { method: "POST" });
    e.preventDefault();
  });
}
start();
</script>
</body>
</html>
)PAGE";

}  // namespace tvx::tool
