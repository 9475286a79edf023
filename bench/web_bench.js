// Periods per second of the web module under node, on the same firmware run
// as tallivo_bench's BM_FirmwareF0 and BM_FirmwareFlowchart: the calculator's
// own firmware waiting for a key, with the flowchart's pictures or without
// (-f0), run in the page's slices of 12300 periods (one animation frame at
// 740 kHz). Given the native tallivo_bench, it runs those two cases too and
// prints the web module's share of the native speed.
//
// Usage: node bench/web_bench.js SITE_DIR [TALLIVO_BENCH] [SECONDS]
//   SITE_DIR is build/web/site (scripts/web.sh --build-only builds it);
//   each case runs for SECONDS of processor time (default 3).
'use strict';

const { execFileSync } = require('child_process');
const fs = require('fs');
const path = require('path');

const [siteArg, benchArg, secondsArg] = process.argv.slice(2);
if (!siteArg) {
  console.error('usage: node bench/web_bench.js SITE_DIR [TALLIVO_BENCH] [SECONDS]');
  process.exit(2);
}
const site = path.resolve(siteArg);
if (!fs.existsSync(path.join(site, 'tallivo.wasm'))) {
  console.error('web_bench: no module in ' + site + ' (scripts/web.sh --build-only builds it)');
  process.exit(1);
}
const seconds = Number(secondsArg || 3);
const createTallivo = require(path.join(site, 'tallivo.js'));
const kRealRate = 740000;
const kSlice = 12300;

// Processor time of this process, in seconds.
function cpuSeconds() {
  const u = process.cpuUsage();
  return (u.user + u.system) / 1e6;
}

async function startModule(hitValue) {
  const m = await createTallivo({ wasmBinary: fs.readFileSync(path.join(site, 'tallivo.wasm')) });
  if (hitValue !== 0) {
    const picture = fs.readFileSync(path.join(site, 'Flowchart.bmp'));
    const types = fs.readFileSync(path.join(site, 'types.bmp'));
    const p = m._malloc(picture.length);
    const t = m._malloc(types.length);
    m.HEAPU8.set(picture, p);
    m.HEAPU8.set(types, t);
    const status = m._tallivo_set_pictures(p, picture.length, t, types.length);
    m._free(p);
    m._free(t);
    if (status !== 0) throw new Error(m.UTF8ToString(m._tallivo_last_error()));
  }
  const code = fs.readFileSync(path.join(site, '4001.code'), 'latin1');
  if (m.ccall('tallivo_start', 'number', ['string', 'number'], [code, hitValue]) !== 0)
    throw new Error(m.UTF8ToString(m._tallivo_last_error()));
  // Past the start-up, as the native case: the firmware waits for a key.
  m._tallivo_run(740000);
  return m;
}

async function measure(name, hitValue) {
  const m = await startModule(hitValue);
  // Warmed up, then timed for the set processor time.
  for (let i = 0; i < 20; ++i) m._tallivo_run(kSlice);
  let periods = 0;
  const start = cpuSeconds();
  let used = 0;
  while (used < seconds) {
    for (let i = 0; i < 50; ++i) m._tallivo_run(kSlice);
    periods += 50 * kSlice;
    used = cpuSeconds() - start;
  }
  const rate = periods / used;
  return { name, rate };
}

function nativeRates(bench) {
  const out = execFileSync(bench, ['--benchmark_filter=BM_Firmware', '--benchmark_format=json',
    '--benchmark_min_time=' + seconds], { encoding: 'utf8', maxBuffer: 1 << 24 });
  const rates = {};
  for (const b of JSON.parse(out).benchmarks) rates[b.name.split('/')[0]] = b.items_per_second;
  return rates;
}

function line(name, rate) {
  return `${name.padEnd(24)} ${(rate / 1e6).toFixed(1).padStart(7)} M periods/s  ` +
    `${(rate / kRealRate).toFixed(1).padStart(6)} x real time`;
}

(async () => {
  const web = [await measure('web -f0', 0), await measure('web flowchart', 512)];
  for (const w of web) console.log(line(w.name, w.rate));
  if (benchArg) {
    const native = nativeRates(path.resolve(benchArg));
    const pairs = [['BM_FirmwareF0', web[0]], ['BM_FirmwareFlowchart', web[1]]];
    for (const [key, w] of pairs) {
      if (!native[key]) continue;
      console.log(line('native ' + key.replace('BM_Firmware', '').toLowerCase(), native[key]) +
        `   web/native ${(w.rate / native[key] * 100).toFixed(0)} %`);
    }
  }
})().catch((e) => {
  console.error('web_bench: ' + (e.stack || e));
  process.exit(1);
});
