// Where the keyboard's controls go on a screen of a given size. The panel's
// layout is in dialog units; on a screen wide enough it is drawn as the
// desktop draws it, scaled. On a narrow one (a phone held upright) it is
// drawn compact: the keys keep their rows and columns but the gaps between
// them shrink so that every key stays at least MIN_KEY pixels across, and
// the switches, lamps and Quit flow in a band above the keys.
'use strict';

// Sizes in CSS pixels.
const LAYOUT = {
  UNIT_X: 2.25, UNIT_Y: 2.5,  // one dialog unit on the desktop, at scale 1
  MIN_KEY: 40,                // a key a finger can hit
  CAPTION: 22, BORDER: 2,     // a window's caption bar and frame
  GAP: 8,                     // between windows and round the page
  PAPER_WINDOW: 256,          // the printer window beside the keyboard, at scale 1
  PRINTER_MIN: 170,           // the printer window below: caption, buttons, five lines
  COMPACT_MARGIN: 4,
  RADIO_PITCH: 24,            // a switch position a finger can hit
};

function spanOf(rects) {
  const x0 = Math.min(...rects.map((r) => r[0]));
  const x1 = Math.max(...rects.map((r) => r[0] + r[2]));
  const y0 = Math.min(...rects.map((r) => r[1]));
  const y1 = Math.max(...rects.map((r) => r[1] + r[3]));
  return [x0, y0, x1 - x0, y1 - y0];
}

// The controls of the band above the keys in groups: each switch with its
// position labels and caption, the lamps with theirs, and Quit. A label
// over a control names it; a label under a switch's row is its caption.
function groupBand(controls) {
  const groups = [
    { kind: 'decimal', members: [], ticks: [], caption: null },
    { kind: 'rounding', members: [], ticks: [], caption: null },
    { kind: 'lamp', members: [], ticks: [], caption: null },
    { kind: 'quit', members: [], ticks: [], caption: null },
  ];
  const byKind = Object.fromEntries(groups.map((g) => [g.kind, g]));
  controls.forEach((c, index) => { if (byKind[c.kind]) byKind[c.kind].members.push(index); });
  const centre = (r) => r[0] + r[2] / 2;
  controls.forEach((c, index) => {
    if (c.kind !== 'label') return;
    for (const g of groups) {
      for (const [i, m] of g.members.entries()) {
        const r = controls[m].rect;
        if (c.rect[1] + c.rect[3] <= r[1] + 1 && Math.abs(centre(c.rect) - centre(r)) <= 4) g.ticks[i] = index;
      }
      if (g.members.length > 1) {
        const span = spanOf(g.members.map((m) => controls[m].rect));
        if (c.rect[1] >= span[1] + span[3] - 1 && c.rect[0] < span[0] + span[2] && c.rect[0] + c.rect[2] > span[0]) {
          g.caption = index;
        }
      }
    }
  });
  return groups.filter((g) => g.members.length > 0);
}

// A map of one axis that scales the stretches the keys cover by `keyScale`
// and squeezes each stretch between keys to `gap(units)` pixels.
function axisMap(intervals, keyScale, gap) {
  intervals.sort((a, b) => a[0] - b[0]);
  const covered = [];
  for (const [a, b] of intervals) {
    const last = covered[covered.length - 1];
    if (last && a <= last[1]) last[1] = Math.max(last[1], b);
    else covered.push([a, b]);
  }
  const points = [[covered[0][0], 0]];
  for (let i = 0; i < covered.length; ++i) {
    const [a, b] = covered[i];
    const at = points[points.length - 1][1];
    points.push([b, at + (b - a) * keyScale]);
    if (i + 1 < covered.length) points.push([covered[i + 1][0], at + (b - a) * keyScale + gap(covered[i + 1][0] - b)]);
  }
  const map = (u) => {
    if (u <= points[0][0]) return points[0][1] + (u - points[0][0]) * keyScale;
    for (let i = 1; i < points.length; ++i) {
      const [u0, p0] = points[i - 1];
      const [u1, p1] = points[i];
      if (u <= u1) return u1 === u0 ? p1 : p0 + (u - u0) * (p1 - p0) / (u1 - u0);
    }
    const [uLast, pLast] = points[points.length - 1];
    return pLast + (u - uLast) * keyScale;
  };
  const coveredUnits = covered.reduce((sum, [a, b]) => sum + b - a, 0);
  const gapPixels = covered.slice(1).reduce((sum, [a], i) => sum + gap(a - covered[i][1]), 0);
  return { map, coveredUnits, gapPixels, extent: points[points.length - 1][1] };
}

// The desktop's layout at `scale`: every control where the panel has it.
function classicKeyboard(controls, scale) {
  const ux = LAYOUT.UNIT_X * scale;
  const uy = LAYOUT.UNIT_Y * scale;
  const rects = controls.map(({ rect: [x, y, w, h] }) => ({ x: x * ux, y: y * uy, w: w * ux, h: h * uy }));
  return { mode: 'classic', scale, width: 270 * ux, height: 115 * uy, rects, groups: null,
    keyWidth: 22 * ux, font: Math.max(12, 13 * scale) };
}

// The compact layout for `width` pixels (and, when given, no more than
// `height`): null when even then a key would be narrower than MIN_KEY.
function compactKeyboard(controls, width, height = Infinity, minKey = LAYOUT.MIN_KEY) {
  const margin = LAYOUT.COMPACT_MARGIN;
  const keys = controls.map((c, i) => [c, i]).filter(([c]) => c.kind === 'key');
  // The columns and rows are those of the one-unit keys: "+" spans two rows
  // and "=" two columns.
  const columns = keys.filter(([c]) => c.rect[2] <= 24).map(([c]) => [c.rect[0], c.rect[0] + c.rect[2]]);
  const rows = keys.filter(([c]) => c.rect[3] <= 16).map(([c]) => [c.rect[1], c.rect[1] + c.rect[3]]);
  const gapX = (units) => 2 + Math.max(0, units - 2) * 0.2;
  const probe = axisMap(columns, 1, gapX);
  const keyScaleX = Math.min((width - 2 * margin - probe.gapPixels) / probe.coveredUnits, 64 / 22);
  if (keyScaleX * 22 < minKey) return null;
  const xs = axisMap(columns, keyScaleX, gapX);

  // The band: each group's members at RADIO_PITCH (or wider where the
  // desktop spaces them more), their labels over them, the caption under.
  const rects = controls.map(() => null);
  const groups = groupBand(controls);
  const placed = [];
  for (const g of groups) {
    const span = spanOf(g.members.map((m) => controls[m].rect));
    const pitchUnits = g.members.length > 1 ? (span[2] - controls[g.members[0]].rect[2]) / (g.members.length - 1) : span[2];
    const pitch = g.kind === 'quit' ? 0 : Math.max(LAYOUT.RADIO_PITCH, pitchUnits * 2.1);
    const tickHeight = g.ticks.length ? 16 : 0;
    let w;
    let h;
    if (g.kind === 'quit') {
      w = 72;
      h = 34;
      rects[g.members[0]] = { x: 0, y: 0, w, h };
    } else {
      w = pitch * g.members.length;
      const box = g.kind === 'lamp' ? { w: 18, h: 12 } : { w: 20, h: 20 };
      g.members.forEach((m, i) => {
        rects[m] = { x: i * pitch + (pitch - box.w) / 2, y: tickHeight + (20 - box.h) / 2, w: box.w, h: box.h };
        if (g.ticks[i] !== undefined) rects[g.ticks[i]] = { x: i * pitch - 4, y: 0, w: pitch + 8, h: tickHeight };
      });
      h = tickHeight + 20;
      if (g.caption !== null) {
        rects[g.caption] = { x: 0, y: h, w, h: 14 };
        h += 14;
      }
    }
    placed.push({ g, w, h });
  }
  // Flowed left to right, a new row when one is full.
  const inner = xs.extent;
  const left = Math.max(margin, (width - inner) / 2);
  let x = 0;
  let y = margin;
  let rowHeight = 0;
  const groupBoxes = [];
  for (const { g, w, h } of placed) {
    if (x > 0 && x + w > inner) {
      x = 0;
      y += rowHeight + 6;
      rowHeight = 0;
    }
    groupBoxes.push({ kind: g.kind, x: left + x, y, w, h });
    for (const i of [...g.members, ...g.ticks.filter((t) => t !== undefined), ...(g.caption !== null ? [g.caption] : [])]) {
      rects[i] = { ...rects[i], x: rects[i].x + left + x, y: rects[i].y + y };
    }
    x += w + 12;
    rowHeight = Math.max(rowHeight, h);
  }
  const keysTop = y + rowHeight + 10;

  // The keys: as tall as wide, or less where the screen is short.
  const rowGap = () => 4;
  const probeY = axisMap(rows, 1, rowGap);
  const keyWidth = keyScaleX * 22;
  const tallest = (height - keysTop - margin - probeY.gapPixels) / probeY.coveredUnits * 14;
  const keyHeight = Math.min(Math.max(keyWidth, 44), 56, tallest);
  if (keyHeight < 32) return null;
  const ys = axisMap(rows, keyHeight / 14, rowGap);
  for (const [c, i] of keys) {
    const [kx, ky, kw, kh] = c.rect;
    rects[i] = { x: left + xs.map(kx), y: keysTop + ys.map(ky), w: xs.map(kx + kw) - xs.map(kx), h: ys.map(ky + kh) - ys.map(ky) };
  }
  // Anything else the layout holds keeps out of the way.
  controls.forEach((c, i) => { if (!rects[i]) rects[i] = { x: 0, y: 0, w: 0, h: 0, hidden: true }; });
  return { mode: 'compact', scale: 1, width, height: keysTop + ys.extent + margin, rects, groups: groupBoxes,
    keyWidth, font: 13 };
}

// The page's arrangement for a viewport: the keyboard's layout, and whether
// the printer stands beside the keyboard or below it. The desktop's look is
// kept as large as the screen allows up to `maxScale` (1 on a page, more in
// a kiosk, which fills its screen); the compact layout is used only where
// that look would make keys narrower than MIN_KEY.
function fitPage(controls, viewportWidth, viewportHeight, { maxScale = 1 } = {}) {
  const { UNIT_X, UNIT_Y, CAPTION, BORDER, GAP, PAPER_WINDOW, PRINTER_MIN } = LAYOUT;
  const chromeX = 2 * BORDER;
  const chromeY = CAPTION + 2 * BORDER;
  const minScale = LAYOUT.MIN_KEY / (22 * UNIT_X);
  const fullWidth = 270 * UNIT_X;
  const fullHeight = 115 * UNIT_Y;
  const roomX = viewportWidth - 2 * GAP - chromeX;
  const roomY = viewportHeight - 2 * GAP - chromeY;
  // Beside: the paper grows with the keyboard past scale 1.
  let beside = Math.min(maxScale, (roomX - GAP - PAPER_WINDOW) / fullWidth, roomY / fullHeight);
  if (beside > 1) beside = Math.max(1, Math.min(maxScale, (roomX - GAP) / (fullWidth + PAPER_WINDOW), roomY / fullHeight));
  // Below: the printer's least height grows with the paper too.
  let below = Math.min(maxScale, roomX / fullWidth, (roomY - GAP - PRINTER_MIN) / fullHeight);
  if (below > 1) below = Math.max(1, Math.min(maxScale, roomX / fullWidth, (roomY - GAP) / (fullHeight + PRINTER_MIN)));
  if (Math.max(beside, below) >= minScale) {
    // The larger keyboard wins, but beside the paper at the desktop's size
    // or more is always taken: the paper then shows the most lines.
    const besideWins = beside >= Math.min(below, 1);
    const scale = besideWins ? beside : below;
    return { keyboard: classicKeyboard(controls, scale), beside: besideWins, paperScale: Math.max(1, scale) };
  }
  // Compact, beside the paper where a phone lies on its side, else below it.
  const sideWidth = viewportWidth - chromeX - GAP - PAPER_WINDOW - 2 * BORDER;
  const side = compactKeyboard(controls, viewportWidth - chromeX - GAP - PAPER_WINDOW, viewportHeight - chromeY);
  if (side) return { keyboard: side, beside: true, paperScale: 1 };
  const width = Math.max(viewportWidth - chromeX, 0);
  const keyboard = compactKeyboard(controls, width) || compactKeyboard(controls, width, Infinity, 16);
  return { keyboard, beside: false, paperScale: 1 };
}

if (typeof module !== 'undefined') module.exports = { LAYOUT, fitPage, groupBand, compactKeyboard, classicKeyboard };
