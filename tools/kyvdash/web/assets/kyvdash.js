// The live page of kyvdash: shows the screen the server sends (the whole picture first,
// then the rectangles that changed), each control's stale state and its age in a tooltip,
// and a status line. The screen is scaled to fill the window below the status line,
// keeping its proportions (`?fit=none` shows it at its own size). Reconnects on its own,
// and is then sent the whole picture again.
'use strict';
(() => {
  const query = new URLSearchParams(location.search);
  const token = query.get('token');
  const fitting = query.get('fit') !== 'none';
  const canvas = document.getElementById('picture');
  const context = canvas.getContext('2d', { alpha: false });
  const marks = document.getElementById('marks');
  const screenBox = document.getElementById('screen');
  const statusLine = document.getElementById('status');
  const titleLine = document.getElementById('title');
  const header = document.querySelector('header');
  const decoder = new TextDecoder();

  // What tests and benchmarks read: frames applied and the time each took.
  const page = { connected: false, frames: 0, applyMs: [], screens: 0 };
  window.kyvdash = page;

  let lastUpdate = null;
  let reports = [];
  let retryMs = 250;
  let queue = Promise.resolve();
  let closeReason = '';

  function liveUrl() {
    const url = new URL('live', location.href);
    url.protocol = location.protocol === 'https:' ? 'wss:' : 'ws:';
    url.search = token ? '?token=' + encodeURIComponent(token) : '';
    return url.href;
  }

  function showStatus() {
    const parts = [];
    if (page.connected) {
      parts.push('connected');
      if (lastUpdate) parts.push('last update ' + lastUpdate.toLocaleTimeString());
    } else {
      parts.push('not connected' + (closeReason ? ' (' + closeReason + ')' : '') + '; retrying');
      if (lastUpdate) parts.push('picture from ' + lastUpdate.toLocaleTimeString());
    }
    if (reports.length) parts.push(reports[reports.length - 1]);
    statusLine.textContent = parts.join(' \u00b7 ');
    statusLine.title = reports.join('\n');
    statusLine.className = page.connected ? 'on' : 'off';
  }

  function showScreen(screen) {
    document.title = (screen.title || 'kyvdash') + ' - kyvdash';
    titleLine.textContent = screen.title || 'kyvdash';
    document.body.style.background = screen.background;
    if (canvas.width !== screen.width || canvas.height !== screen.height) {
      canvas.width = screen.width;
      canvas.height = screen.height;
    }
    screenBox.style.width = screen.width + 'px';
    screenBox.style.height = screen.height + 'px';
    fit();
    marks.replaceChildren(...screen.controls.map((c) => {
      const mark = document.createElement('div');
      mark.className = 'mark';
      mark.dataset.name = c.name;
      mark.style.left = c.x + 'px';
      mark.style.top = c.y + 'px';
      mark.style.width = c.width + 'px';
      mark.style.height = c.height + 'px';
      return mark;
    }));
    page.screens += 1;
  }

  // Scales the screen, picture and marks alike, to the largest size that fits the room
  // below the status line, centred across. A whole-number scale keeps pixels sharp; any
  // other is smoothed, so that text stays readable.
  function fit() {
    if (!fitting || !canvas.width || !canvas.height) return;
    const roomWidth = document.documentElement.clientWidth;
    const roomHeight = Math.max(1, window.innerHeight - header.offsetHeight);
    const scale = Math.min(roomWidth / canvas.width, roomHeight / canvas.height);
    screenBox.style.transform = 'scale(' + scale + ')';
    screenBox.style.left = Math.max(0, (roomWidth - canvas.width * scale) / 2) + 'px';
    screenBox.parentElement.style.height = canvas.height * scale + 'px';
    canvas.style.imageRendering = Number.isInteger(scale) ? 'pixelated' : 'auto';
    page.scale = scale;
  }

  function showState(state) {
    state.controls.forEach((c, i) => {
      const mark = marks.children[i];
      if (!mark) return;
      mark.title = c.tooltip;
      mark.classList.toggle('stale', c.stale);
    });
    reports = state.reports;
    showStatus();
  }

  async function inflate(bytes) {
    const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate'));
    return new Response(stream).arrayBuffer();
  }

  // The atlas of a frame, inflated: width, height and a count of colours (16 bits each),
  // the colours (red, green, blue), each channel the difference from the colour before
  // (modulo 256), then a byte a pixel, its colour's index; with no colours, three bytes a
  // pixel (red, green, blue).
  function atlasImage(bytes) {
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const width = view.getUint16(0);
    const height = view.getUint16(2);
    const colours = view.getUint16(4);
    const palette = new Uint8Array(colours * 3);
    for (let i = 0; i < colours * 3; i += 1) palette[i] = ((i >= 3 ? palette[i - 3] : 0) + bytes[6 + i]) & 255;
    const image = new ImageData(width, height);
    const out = image.data;
    let at = 6 + colours * 3;
    for (let i = 0; i < width * height * 4; i += 4) {
      if (colours) {
        const c = bytes[at++] * 3;
        out[i] = palette[c];
        out[i + 1] = palette[c + 1];
        out[i + 2] = palette[c + 2];
      } else {
        out[i] = bytes[at];
        out[i + 1] = bytes[at + 1];
        out[i + 2] = bytes[at + 2];
        at += 3;
      }
      out[i + 3] = 255;
    }
    return image;
  }

  // A frame: "KYVF", a count, the length of the rectangles' table and the table (zlib),
  // the length of the atlas and the atlas (zlib). The table holds per rectangle x, y,
  // width, height, a kind and an x, y to take its pixels from: the atlas (kind 0) or the
  // picture itself (kind 1, a control that scrolled; these come first).
  async function showFrame(buffer) {
    const started = performance.now();
    const view = new DataView(buffer);
    if (buffer.byteLength < 10 || decoder.decode(new Uint8Array(buffer, 0, 4)) !== 'KYVF') return;
    const count = view.getUint16(4);
    const tableLength = view.getUint32(6);
    const table = new DataView(await inflate(new Uint8Array(buffer, 10, tableLength)));
    const parts = [];
    for (let i = 0, at = 0; i < count && at + 13 <= table.byteLength; i += 1, at += 13) {
      parts.push({
        x: table.getUint16(at), y: table.getUint16(at + 2), width: table.getUint16(at + 4),
        height: table.getUint16(at + 6), moved: table.getUint8(at + 8) === 1,
        fromX: table.getUint16(at + 9), fromY: table.getUint16(at + 11),
      });
    }
    const at = 10 + tableLength;
    const length = at + 4 <= buffer.byteLength ? view.getUint32(at) : 0;
    const atlas = length > 0
      ? atlasImage(new Uint8Array(await inflate(new Uint8Array(buffer, at + 4, length))))
      : null;
    for (const p of parts) {
      if (p.moved) context.drawImage(canvas, p.fromX, p.fromY, p.width, p.height, p.x, p.y, p.width, p.height);
      else if (atlas) context.putImageData(atlas, p.x - p.fromX, p.y - p.fromY, p.fromX, p.fromY, p.width, p.height);
    }
    page.frames += 1;
    page.applyMs.push(performance.now() - started);
    if (page.applyMs.length > 1000) page.applyMs.shift();
    lastUpdate = new Date();
    showStatus();
  }

  function take(data) {
    if (typeof data !== 'string') return showFrame(data);
    const message = JSON.parse(data);
    if (message.type === 'screen') showScreen(message);
    else if (message.type === 'state') showState(message);
    return undefined;
  }

  function connect() {
    const socket = new WebSocket(liveUrl());
    socket.binaryType = 'arraybuffer';
    socket.onopen = () => {
      page.connected = true;
      closeReason = '';
      retryMs = 250;
      showStatus();
    };
    // Messages are shown in order, each once the one before is drawn.
    socket.onmessage = (event) => {
      queue = queue.then(() => take(event.data)).catch(() => {});
    };
    socket.onclose = (event) => {
      page.connected = false;
      closeReason = event.reason;
      showStatus();
      setTimeout(connect, retryMs);
      retryMs = Math.min(retryMs * 2, 5000);
    };
  }

  window.addEventListener('resize', fit);
  showStatus();
  connect();
})();
