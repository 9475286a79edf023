// Periods per second of the web module under node, on the same firmware run
// as tallivo_bench's BM_FirmwareF0 and BM_FirmwareFlowchart: the calculator's
// own firmware waiting for a key, with the flowchart's pictures or without
// (-f0), run in the page's slices of 12300 periods (one animation frame at
// 740 kHz). Given the native tallivo_bench, it runs every native case too,
// so that one run prints the whole table of periods a second and multiples
// of real time, with the web module's share of the native speed. The web
// and native cases are measured in turn, round after round, and the median
// of the rounds is printed, so that a machine shared with other work weighs
// on both alike. Then the calculator printing without a pause (a line of
// eight digits typed again whenever the last is taken), once silent and once
// with its sound on and taken after every slice as the page takes it: what
// the sound costs the page.
//
// Usage: node bench/web_bench.js SITE_DIR [TALLIVO_BENCH] [SECONDS] [ROUNDS]
//   SITE_DIR is build/web/site (scripts/web.sh --build-only builds it);
//   each case runs for SECONDS of processor time in each round (default 2),
//   in ROUNDS rounds (default 5).
'use strict';

const { execFileSync } = require('child_process');
const fs = require('fs');
const path = require('path');
const { setSitePictures } = require('../tests/web/module_pictures.js');

const [siteArg, benchArg, secondsArg, roundsArg] = process.argv.slice(2);
if (!siteArg) {
  console.error('usage: node bench/web_bench.js SITE_DIR [TALLIVO_BENCH] [SECONDS] [ROUNDS]');
  process.exit(2);
}
const site = path.resolve(siteArg);
if (!fs.existsSync(path.join(site, 'tallivo.wasm'))) {
  console.error('web_bench: no module in ' + site + ' (scripts/web.sh --build-only builds it)');
  process.exit(1);
}
const seconds = Number(secondsArg || 2);
const rounds = Math.max(1, Math.floor(Number(roundsArg || 5)));
const createTallivo = require(path.join(site, 'tallivo.js'));
const kRealRate = 740000;
const kSlice = 12300;

// Processor time of this process, in seconds.
function cpuSeconds() {
  const u = process.cpuUsage();
  return (u.user + u.system) / 1e6;
}

async function startModule(hitValue, sound = false) {
  const m = await createTallivo({ wasmBinary: fs.readFileSync(path.join(site, 'tallivo.wasm')) });
  if (sound) m._tallivo_sound(1);
  if (hitValue !== 0 && setSitePictures(m, site) !== 0)
    throw new Error(m.UTF8ToString(m._tallivo_last_error()));
  const code = fs.readFileSync(path.join(site, '4001.code'), 'latin1');
  if (m.ccall('tallivo_start', 'number', ['string', 'number'], [code, hitValue]) !== 0)
    throw new Error(m.UTF8ToString(m._tallivo_last_error()));
  // Past the start-up, as the native case: the firmware waits for a key.
  m._tallivo_run(740000);
  return m;
}

// Periods a second of `slice` (one slice of kSlice periods), timed for the
// set processor time after a few slices to warm up (then `warmedUp` is
// called).
function timeSlices(slice, warmedUp = () => {}) {
  for (let i = 0; i < 20; ++i) slice();
  warmedUp();
  let periods = 0;
  const start = cpuSeconds();
  let used = 0;
  while (used < seconds) {
    for (let i = 0; i < 50; ++i) slice();
    periods += 50 * kSlice;
    used = cpuSeconds() - start;
  }
  return { rate: periods / used, used };
}

// Periods a second of a started module.
function measure(m) {
  return timeSlices(() => m._tallivo_run(kSlice)).rate;
}

// The printing calculator, its sound on or off: periods a second, and the
// share of the time spent rendering the sound and handing it over.
async function measurePrinting(name, sound) {
  const m = await startModule(0, sound);
  let soundTime = 0;
  const slice = () => {
    if (m._tallivo_keys_waiting() === 0) m.ccall('tallivo_type', 'number', ['string'], ['1 2 3 4 5 6 7 8 +']);
    m._tallivo_run(kSlice);
    if (!sound) return;
    const before = cpuSeconds();
    const count = m._tallivo_sound_render(13230);
    // The page copies the samples into an audio buffer.
    if (count > 0) {
      const at = m._tallivo_sound_samples() >> 2;
      copy.set(m.HEAPF32.subarray(at, at + count));
    }
    soundTime += cpuSeconds() - before;
  };
  const copy = new Float32Array(13230);
  const { rate, used } = timeSlices(slice, () => { soundTime = 0; });
  return { name, rate, soundShare: soundTime / used };
}

function nativeRates(bench) {
  const out = execFileSync(bench, ['--benchmark_format=json', '--benchmark_min_time=' + seconds],
    { encoding: 'utf8', maxBuffer: 1 << 24 });
  const rates = {};
  for (const b of JSON.parse(out).benchmarks) rates[b.name.split('/')[0]] = b.items_per_second;
  return rates;
}

// The native cases as tallivo_bench's summary names them, in its order.
const kNativeCases = [
  ['BM_FirmwareF0', '-f0: firmware waiting for a key'],
  ['BM_FirmwareFlowchart', 'flowchart: the same with the recorder'],
  ['BM_RunLoopWithPanels', 'panels: busy loop with the panels'],
  ['BM_RunLoopWithBreakpoint', 'breakpoint: busy loop, breakpoint set'],
  ['BM_RunLoop', 'chips alone: busy loop'],
  ['BM_StepClock', 'stepClock: busy loop period by period'],
];

function line(name, rate) {
  return `${name.padEnd(40)} ${(rate / 1e6).toFixed(1).padStart(9)} M ` +
    `${(rate / kRealRate).toFixed(1).padStart(16)}`;
}

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const mid = sorted.length >> 1;
  return sorted.length % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2;
}

(async () => {
  const webCases = [
    { key: 'BM_FirmwareF0', label: 'web -f0: firmware waiting for a key', hitValue: 0 },
    { key: 'BM_FirmwareFlowchart', label: 'web flowchart: the same with the recorder',
      hitValue: 512 },
  ];
  for (const w of webCases) {
    w.module = await startModule(w.hitValue);
    w.rates = [];
  }
  const nativeRuns = {};
  for (let round = 0; round < rounds; ++round) {
    for (const w of webCases) w.rates.push(measure(w.module));
    if (benchArg) {
      const rates = nativeRates(path.resolve(benchArg));
      for (const [key, rate] of Object.entries(rates)) {
        if (!nativeRuns[key]) nativeRuns[key] = [];
        nativeRuns[key].push(rate);
      }
    }
  }
  console.log(`medians of ${rounds} rounds, ${seconds} s of processor time a case in each`);
  console.log(`${'case'.padEnd(40)} ${'periods/s'.padStart(11)} ${'times real time'.padStart(16)}`);
  const native = {};
  for (const key of Object.keys(nativeRuns)) native[key] = median(nativeRuns[key]);
  for (const [key, label] of kNativeCases) {
    if (native[key]) console.log(line(label, native[key]));
  }
  for (const w of webCases) {
    const rate = median(w.rates);
    console.log(line(w.label, rate) +
      (native[w.key] ? `   web/native ${(rate / native[w.key] * 100).toFixed(0)} %` : ''));
  }
  const silent = await measurePrinting('web printing', false);
  const heard = await measurePrinting('web printing, sound', true);
  console.log(line(silent.name, silent.rate));
  console.log(line(heard.name, heard.rate) + `   sound ${(heard.soundShare * 100).toFixed(1)} % of the time`);
})().catch((e) => {
  console.error('web_bench: ' + (e.stack || e));
  process.exit(1);
});
