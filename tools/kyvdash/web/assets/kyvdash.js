// The live page of kyvdash: shows the screen the server sends (the whole picture first,
// then the rectangles that changed), each control's stale state and its age in a tooltip,
// and a status line.
//
// The picture is drawn by the server at the scale this screen needs, in device pixels a
// layout pixel (its pixel ratio included), a multiple of a quarter: the page asks for it in
// its live channel's address and shows it one device pixel a pixel, never stretched. The
// screen fills the window below the status line, in its own proportions (`?fit=none`
// shows it at its own size). Where that would make its smallest text less than 9 CSS
// pixels high (a phone), it is shown larger and scrolls, its blocks one below the other
// when the server names blocks. The zoom buttons make it a step larger or smaller.
// Reconnects on its own, and is then sent the whole picture again.
//
// The server sends something at least every half second (a heartbeat when nothing else
// goes). When the channel closes, or nothing comes for 1.5 s (a server stopped, a network
// cut that closes nothing), the whole picture is marked stale: greyed, hatched, and the
// time since the page last heard from the server in large type over it. The mark goes
// once a new channel has brought the whole picture again. A channel silent for 10 s is
// given up and opened anew.
'use strict';
(() => {
  const STEP = 0.25;
  const LARGEST = 8;
  const LEGIBLE = 9;  // CSS pixels the smallest text is shown at, at least
  const GAP = 8;      // CSS pixels between blocks in a column
  const SILENT_MS = 1500;    // nothing heard this long: the picture is marked stale
  const GIVE_UP_MS = 10000;  // nothing heard this long: the channel is opened anew
  const WATCH_MS = 200;      // how often silence is looked for
  const query = new URLSearchParams(location.search);
  const token = query.get('token');
  const fitting = query.get('fit') !== 'none';
  const room = document.getElementById('room');
  const screenBox = document.getElementById('screen');
  const statusLine = document.getElementById('status');
  const titleLine = document.getElementById('title');
  const header = document.querySelector('header');
  const staleBox = document.getElementById('stale');
  const staleAge = document.getElementById('stale-age');
  const decoder = new TextDecoder();
  // The whole picture as the frames draw it; the blocks shown copy from it.
  const picture = document.createElement('canvas');
  const context = picture.getContext('2d', { alpha: false });

  // What tests and benchmarks read: frames applied and the time each took, the scale of
  // the picture, the CSS pixels a layout pixel, the smallest text's CSS pixels, and
  // whether the picture is marked stale.
  const page = { connected: false, frames: 0, applyMs: [], screens: 0, stale: false };
  window.kyvdash = page;

  let screen = null;
  let shown = [];     // the blocks shown: {rect, canvas, context, at}
  let marks = [];     // by control
  let wanted = null;  // the scale asked of the server
  let zoom = 0;       // steps the user zoomed by
  let lastUpdate = null;
  let reports = [];
  let retryMs = 250;
  let queue = Promise.resolve();
  let closeReason = '';
  let socket = null;
  let switching = false;  // the channel is closed to ask for another scale
  let heardAt = 0;        // performance.now() of the last message, or of opening the channel
  let current = false;    // the picture shown is the server's: a channel brought it whole
  let freshAt = null;     // performance.now() when the picture was last known current

  function liveUrl() {
    const url = new URL('live', location.href);
    url.protocol = location.protocol === 'https:' ? 'wss:' : 'ws:';
    const search = new URLSearchParams();
    if (token) search.set('token', token);
    if (wanted) search.set('scale', String(wanted));
    url.search = search.toString();
    return url.href;
  }

  function showStatus() {
    const parts = [];
    if (page.connected && page.stale) {
      parts.push('connected, but nothing comes; waiting');
      if (lastUpdate) parts.push('picture from ' + lastUpdate.toLocaleTimeString());
    } else if (page.connected) {
      parts.push('connected');
      if (lastUpdate) parts.push('last update ' + lastUpdate.toLocaleTimeString());
    } else {
      parts.push('not connected' + (closeReason ? ' (' + closeReason + ')' : '') + '; retrying');
      if (lastUpdate) parts.push('picture from ' + lastUpdate.toLocaleTimeString());
    }
    if (reports.length) parts.push(reports[reports.length - 1]);
    statusLine.textContent = parts.join(' \u00b7 ');
    statusLine.title = reports.join('\n');
    statusLine.className = page.connected && !page.stale ? 'on' : 'off';
  }

  // A time in words: "12 s", "3 min 5 s", "2 h 4 min".
  function duration(ms) {
    const s = Math.max(0, Math.floor(ms / 1000));
    if (s < 60) return s + ' s';
    if (s < 3600) return Math.floor(s / 60) + ' min ' + (s % 60) + ' s';
    return Math.floor(s / 3600) + ' h ' + Math.floor((s % 3600) / 60) + ' min';
  }

  // Marks the whole picture stale while it is not known to be the server's now: no channel
  // has brought it since the last one was lost, or nothing came for SILENT_MS. The mark
  // covers the room below the header whatever the scale, and says how old the picture is.
  function showStale() {
    const now = performance.now();
    const stale = screen !== null && freshAt !== null && (!current || now - heardAt > SILENT_MS);
    if (stale !== page.stale) {
      page.stale = stale;
      document.body.classList.toggle('stale', stale);
      staleBox.hidden = !stale;
      showStatus();
    }
    if (!stale) return;
    staleBox.style.top = header.offsetHeight + 'px';
    staleAge.textContent = 'no data for ' + duration(now - freshAt);
  }

  const stepDown = (s) => Math.min(LARGEST, Math.max(STEP, Math.floor(s / STEP + 1e-6) * STEP));
  const stepUp = (s) => Math.min(LARGEST, Math.max(STEP, Math.ceil(s / STEP - 1e-6) * STEP));

  // How the screen is shown in the room there is: the blocks, one below the other when the
  // whole screen would not show its text legibly and the server names blocks, and the
  // scale of the picture in device pixels a layout pixel.
  function plan() {
    const ratio = window.devicePixelRatio || 1;
    const whole = { x: 0, y: 0, width: screen.width, height: screen.height };
    const roomWidth = document.documentElement.clientWidth;
    const roomHeight = Math.max(1, window.innerHeight - header.offsetHeight);
    const legible = screen.smallestText > 0 ? LEGIBLE / screen.smallestText : 0;
    if (!fitting) return { blocks: [whole], scale: stepDown(screen.ownScale * ratio + zoom * STEP), column: false };
    const fit = Math.min(roomWidth / screen.width, roomHeight / screen.height);
    if (fit >= legible) return { blocks: [whole], scale: stepDown(fit * ratio + zoom * STEP), column: false };
    // As wide as the room, the widest block's text legible all the same.
    const blocks = screen.blocks.length > 1 ? screen.blocks : [whole];
    const widest = Math.max(...blocks.map((b) => b.width));
    const across = Math.max(stepUp(legible * ratio), stepDown(Math.min(roomWidth / widest, fit * 4) * ratio));
    return { blocks, scale: stepDown(across + zoom * STEP), column: blocks.length > 1 };
  }

  // Lays the blocks out at the scale the server draws: each at whole device pixels, centred
  // across, in a column when there are several.
  function build() {
    const ratio = window.devicePixelRatio || 1;
    const scale = screen.scale;
    const { blocks, column } = plan();
    const roomWidth = document.documentElement.clientWidth * ratio;
    const device = (v) => Math.round(v * scale);
    let top = 0;
    let widest = 0;
    shown = blocks.map((b) => {
      const x0 = device(b.x);
      const y0 = device(b.y);
      const width = device(b.x + b.width) - x0;
      const height = device(b.y + b.height) - y0;
      const left = Math.max(0, Math.round((roomWidth - width) / 2));
      const block = { rect: b, x0, y0, width, height, left, top };
      top += height + (column ? Math.round(GAP * ratio) : 0);
      widest = Math.max(widest, left + width);
      return block;
    });
    room.style.height = Math.max(1, window.innerHeight - header.offsetHeight) + 'px';
    screenBox.style.width = widest / ratio + 'px';
    screenBox.style.height = top / ratio + 'px';
    marks = [];
    screenBox.replaceChildren(...shown.map((s, n) => {
      const box = document.createElement('div');
      box.className = 'block';
      box.style.left = s.left / ratio + 'px';
      box.style.top = s.top / ratio + 'px';
      const canvas = document.createElement('canvas');
      if (n === 0) canvas.id = 'picture';
      canvas.width = s.width;
      canvas.height = s.height;
      canvas.style.width = s.width / ratio + 'px';
      canvas.style.height = s.height / ratio + 'px';
      s.context = canvas.getContext('2d', { alpha: false });
      const layer = document.createElement('div');
      layer.className = 'marks';
      screen.controls.forEach((c, i) => {
        const cx = c.x + c.width / 2;
        const cy = c.y + c.height / 2;
        if (marks[i] || cx < s.rect.x || cy < s.rect.y || cx >= s.rect.x + s.rect.width || cy >= s.rect.y + s.rect.height) return;
        const mark = document.createElement('div');
        mark.className = 'mark';
        mark.dataset.name = c.name;
        mark.style.left = (device(c.x) - s.x0) / ratio + 'px';
        mark.style.top = (device(c.y) - s.y0) / ratio + 'px';
        mark.style.width = (device(c.x + c.width) - device(c.x)) / ratio + 'px';
        mark.style.height = (device(c.y + c.height) - device(c.y)) / ratio + 'px';
        marks[i] = mark;
        layer.append(mark);
      });
      box.append(canvas, layer);
      return box;
    }));
    copyToBlocks([{ x: 0, y: 0, width: picture.width, height: picture.height }]);
    page.scale = scale;
    page.cssScale = scale / ratio;
    page.textPx = screen.smallestText * scale / ratio;
    page.column = column;
  }

  // Asks the server for the picture at the scale the room calls for, when it is another.
  function arrange() {
    if (!screen) return;
    const { scale } = plan();
    if (scale !== wanted) {
      wanted = scale;
      if (socket) {
        switching = true;
        socket.close(1000, 'another scale');
      }
      return;
    }
    build();
  }

  function showScreen(message) {
    screen = message;
    document.title = (screen.title || 'kyvdash') + ' - kyvdash';
    titleLine.textContent = screen.title || 'kyvdash';
    document.body.style.background = screen.background;
    picture.width = screen.pictureWidth;
    picture.height = screen.pictureHeight;
    page.screens += 1;
    if (wanted === null) wanted = screen.scale;
    arrange();
  }

  function showState(state) {
    state.controls.forEach((c, i) => {
      const mark = marks[i];
      if (!mark) return;
      mark.title = c.tooltip;
      mark.classList.toggle('stale', c.stale);
    });
    reports = state.reports;
    showStatus();
  }

  // Copies the rectangles of the picture that changed to the blocks that show them.
  function copyToBlocks(rects) {
    for (const s of shown) {
      for (const r of rects) {
        const x0 = Math.max(r.x, s.x0);
        const y0 = Math.max(r.y, s.y0);
        const x1 = Math.min(r.x + r.width, s.x0 + s.width);
        const y1 = Math.min(r.y + r.height, s.y0 + s.height);
        if (x1 <= x0 || y1 <= y0) continue;
        s.context.drawImage(picture, x0, y0, x1 - x0, y1 - y0, x0 - s.x0, y0 - s.y0, x1 - x0, y1 - y0);
      }
    }
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
      if (p.moved) context.drawImage(picture, p.fromX, p.fromY, p.width, p.height, p.x, p.y, p.width, p.height);
      else if (atlas) context.putImageData(atlas, p.x - p.fromX, p.y - p.fromY, p.fromX, p.fromY, p.width, p.height);
    }
    copyToBlocks(parts);
    page.frames += 1;
    page.applyMs.push(performance.now() - started);
    if (page.applyMs.length > 1000) page.applyMs.shift();
    lastUpdate = new Date();
    current = true;
    freshAt = performance.now();
    showStatus();
    showStale();
  }

  function take(data) {
    if (typeof data !== 'string') return showFrame(data);
    const message = JSON.parse(data);
    if (message.type === 'screen') showScreen(message);
    else if (message.type === 'state') showState(message);
    return undefined;
  }

  // The channel `live` is lost (closed, or silent too long): the picture is marked stale
  // and a new channel is opened after the retry delay.
  function lose(live, reason) {
    if (live !== socket) return;
    socket = null;
    switching = false;
    live.onopen = live.onmessage = live.onclose = null;
    if (live.readyState !== WebSocket.CLOSED) live.close();
    page.connected = false;
    current = false;
    closeReason = reason;
    showStatus();
    showStale();
    setTimeout(connect, retryMs);
    retryMs = Math.min(retryMs * 2, 5000);
  }

  function connect() {
    const live = new WebSocket(liveUrl());
    socket = live;
    heardAt = performance.now();
    live.binaryType = 'arraybuffer';
    live.onopen = () => {
      page.connected = true;
      closeReason = '';
      retryMs = 250;
      showStatus();
    };
    // Messages are shown in order, each once the one before is drawn; those of a channel
    // given up are dropped. Anything heard, a heartbeat too, says the picture is current.
    live.onmessage = (event) => {
      heardAt = performance.now();
      if (current) freshAt = heardAt;
      queue = queue.then(() => (live === socket ? take(event.data) : undefined)).catch(() => {});
    };
    live.onclose = (event) => {
      // Closed to ask for another scale: again at once, still connected as far as anyone sees.
      if (switching && live === socket) {
        socket = null;
        switching = false;
        connect();
        return;
      }
      lose(live, event.reason);
    };
  }

  // Looks for silence: the picture is marked stale after SILENT_MS, and the channel opened
  // anew after GIVE_UP_MS (a network cut may leave it open for minutes).
  function watch() {
    if (socket && performance.now() - heardAt > GIVE_UP_MS) lose(socket, 'nothing came for ' + duration(GIVE_UP_MS));
    showStale();
  }

  function zoomBy(steps) {
    zoom += steps;
    arrange();
  }

  let resizing = null;
  window.addEventListener('resize', () => {
    clearTimeout(resizing);
    resizing = setTimeout(arrange, 100);
  });
  document.getElementById('zoom-in').addEventListener('click', () => zoomBy(1));
  document.getElementById('zoom-out').addEventListener('click', () => zoomBy(-1));
  showStatus();
  connect();
  setInterval(watch, WATCH_MS);
})();
