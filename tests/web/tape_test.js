// The WebAssembly module under node against the desktop runner: the same
// code and the same typed tape must give the same paper and the same final
// state, lamps and keys included, and the same sound. Also the page's
// reading of a tape from its address and of PC keys.
//
// Usage: node tape_test.js SITE_DIR TALLIVO_RUN (exits 77, skipped, without
// the page)
'use strict';

const assert = require('assert');
const { execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const [site, runner] = process.argv.slice(2).map((p) => path.resolve(p));
// Skipped when the page has not been built (scripts/web.sh --build-only).
if (!fs.existsSync(path.join(site, 'tallivo.wasm'))) {
  console.log('no page in ' + site);
  process.exit(77);
}
const createTallivo = require(path.join(site, 'tallivo.js'));
const { tapeFromQuery, pageOptions, linkForTape, addressWithSound, pcKeyCode } = require(path.join(site, 'tape.js'));
const { fitPage, LAYOUT } = require(path.join(site, 'layout.js'));
const { pageSound } = require(path.join(site, 'sound.js'));
const { setPictures, setSitePictures } = require('./module_pictures.js');
const codeFile = path.join(site, '4001.code');
// Every module instance listens for the process's errors.
process.setMaxListeners(0);

let failures = 0;
async function check(name, body) {
  try {
    await body();
    console.log('ok   ' + name);
  } catch (e) {
    failures++;
    console.log('FAIL ' + name + '\n' + (e.stack || e));
  }
}

// A fresh module each time, so that no state carries over between tapes.
async function module() {
  return createTallivo({ wasmBinary: fs.readFileSync(path.join(site, 'tallivo.wasm')) });
}

// The runner's paper and final state for a tape, with its switch options.
function runnerResult(tape, options = []) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tallivo_web_'));
  const stateFile = path.join(dir, 'state.json');
  try {
    const paper = execFileSync(runner, ['--code', codeFile, '--type', tape, '--dump-state', stateFile, ...options],
      { encoding: 'latin1' });
    return { paper: paper.split('\n').filter((l) => l.length > 0), state: JSON.parse(fs.readFileSync(stateFile, 'latin1')) };
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

// The module's paper and final state for a tape, run in slices the way the
// page runs it (`slice` periods a frame), to the period `until` (the runner's
// end), by which the tape must be done; or, without it, until the tape is done.
async function moduleResult(tape, { decimalPoint = 0, rounding = 1, slice = 12300, hitValue = 0, pictures = false,
  until = null } = {}) {
  const m = await module();
  if (pictures) assert.strictEqual(setSitePictures(m, site), 0);
  const code = fs.readFileSync(codeFile, 'latin1');
  assert.strictEqual(m.ccall('tallivo_start', 'number', ['string', 'number'], [code, hitValue]), 0,
    m.UTF8ToString(m._tallivo_last_error()));
  assert.strictEqual(m._tallivo_set_switches(decimalPoint, rounding), 0);
  assert.strictEqual(m.ccall('tallivo_type', 'number', ['string'], [tape]), 0, m.UTF8ToString(m._tallivo_last_error()));
  if (until === null) {
    while (m._tallivo_tape_end() === 0 && m._tallivo_periods_run() < 50000000) m._tallivo_run(slice);
  } else {
    while (m._tallivo_periods_run() < until) m._tallivo_run(Math.min(slice, until - m._tallivo_periods_run()));
    assert.strictEqual(m._tallivo_tape_end(), until, 'the tape ends where the runner ends it');
  }
  const paper = [];
  for (let i = 0; i < m._tallivo_paper_count(); ++i) paper.push(m.UTF8ToString(m._tallivo_paper_line(i)));
  return { m, paper, state: JSON.parse(m.UTF8ToString(m._tallivo_state_json())) };
}

// --- The sound ---------------------------------------------------------

const RATE = 44100;
const PERIODS_PER_SECOND = 740000;
const PERIODS_PER_SECTOR = 10000;
// The warm-up's periods, which the drum counts and the module's run does
// not: the sound is timed by the drum.
const WARM_UP = 12;
// The first sample at or after the start of a clock period.
const sampleAt = (period) => Math.ceil(period * RATE / PERIODS_PER_SECOND);

// The samples of the runner's --audio file for a tape, as whole numbers.
function runnerSound(tape) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tallivo_web_'));
  try {
    const file = path.join(dir, 'tape.wav');
    execFileSync(runner, ['--code', codeFile, '--type', tape, '--audio', file]);
    const bytes = fs.readFileSync(file);
    assert.strictEqual(bytes.toString('latin1', 0, 4), 'RIFF');
    assert.strictEqual(bytes.readUInt32LE(24), RATE);
    const samples = new Int16Array(bytes.readUInt32LE(40) / 2);
    for (let i = 0; i < samples.length; ++i) samples[i] = bytes.readInt16LE(44 + 2 * i);
    return samples;
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

// Types a tape with the sound on and takes the sound after every `slice`
// periods, as the page does after each frame, until the tape is done: the
// handfuls (first sample's number, samples), and the whole sound with each
// handful at its own place and silence between them.
async function moduleSound(tape, slice = 12300) {
  const m = await module();
  m._tallivo_sound(1);
  assert.strictEqual(m.ccall('tallivo_start', 'number', ['string', 'number'], [fs.readFileSync(codeFile, 'latin1'), 0]), 0);
  assert.strictEqual(m.ccall('tallivo_type', 'number', ['string'], [tape]), 0);
  const handfuls = [];
  const take = () => {
    const count = m._tallivo_sound_render(1 << 20);
    if (count === 0) return;
    const at = m._tallivo_sound_samples() >> 2;
    handfuls.push({ first: m._tallivo_sound_first(), samples: Float32Array.from(m.HEAPF32.subarray(at, at + count)) });
  };
  while (m._tallivo_tape_end() === 0 && m._tallivo_periods_run() < 50000000) {
    m._tallivo_run(slice);
    take();
  }
  const whole = new Int16Array(sampleAt(m._tallivo_periods_run() + WARM_UP));
  for (const { first, samples } of handfuls) {
    assert.ok(first + samples.length <= whole.length, 'no sample beyond the clock');
    samples.forEach((v, i) => { whole[first + i] = Math.round(v * 32768); });
  }
  return { m, handfuls, whole };
}

// The sector boundaries (counted from the drum's start) at which a sound
// starts: a hammer blow is loud and bright in its first millisecond, a
// paper feed a dull thump.
function heardAtBoundaries(samples) {
  const rms = (from, count) => {
    let sum = 0;
    for (let i = from; i < from + count; ++i) sum += samples[i] * samples[i];
    return Math.sqrt(sum / count);
  };
  const steps = (from, count) => {
    let sum = 0;
    for (let i = from; i < from + count; ++i) sum += (samples[i] - samples[i - 1]) ** 2;
    return Math.sqrt(sum / count);
  };
  const ms = RATE / 1000;
  const heard = [];
  for (let k = 1; ; ++k) {
    const at = sampleAt(k * PERIODS_PER_SECTOR);
    if (at + ms >= samples.length) break;
    const after = rms(at, ms);
    if (after < 2000 || after < 4 * rms(at - ms, ms)) continue;
    const bright = steps(at, ms) / after;
    heard.push({ boundary: k, sector: (k - 1) % 13, strike: bright > 0.3, feed: bright < 0.15 });
  }
  return heard;
}

(async () => {
  await check('the sound of a typed tape is the runner\'s, sample for sample: a blow per printing sector, a feed per line', async () => {
    const tape = '1 2 3 4 5 6 7 8 +';
    const { handfuls, whole } = await moduleSound(tape);
    // The runner stops at the tape's end, the module's last slice runs on
    // past it, in silence.
    const expected = runnerSound(tape);
    assert.ok(whole.length >= expected.length && whole.length < expected.length + sampleAt(12300) + 1, whole.length + ' samples');
    const differs = whole.findIndex((v, i) => v !== (i < expected.length ? expected[i] : 0));
    assert.strictEqual(differs, -1, 'the samples of tallivo-run --audio, up to sample ' + differs);
    // "1" and "+" in sector 1, one digit in each of sectors 2 to 8, and the
    // line fed at the end of the revolution.
    const heard = heardAtBoundaries(whole);
    assert.deepStrictEqual(heard.filter((h) => h.strike).map((h) => h.sector), [1, 2, 3, 4, 5, 6, 7, 8]);
    const feeds = heard.filter((h) => h.feed);
    assert.strictEqual(feeds.length, 1);
    assert.strictEqual(feeds[0].sector, 12);
    // The silences between the sounds are not handed out: the handfuls
    // leave gaps, and hold far fewer samples than the run.
    const handed = handfuls.reduce((n, h) => n + h.samples.length, 0);
    assert.ok(handed < whole.length * 0.6, handed + ' of ' + whole.length + ' samples handed out');
    assert.ok(handfuls.some((h, i) => i > 0 && h.first > handfuls[i - 1].first + handfuls[i - 1].samples.length), 'a gap');
    for (let i = 1; i < handfuls.length; ++i) {
      assert.ok(handfuls[i].first >= handfuls[i - 1].first + handfuls[i - 1].samples.length, 'in order, none twice');
    }
  });

  await check('longer lines strike more, however the clock is sliced', async () => {
    for (const slice of [1000, 100000]) {
      const two = heardAtBoundaries((await moduleSound('4 2 +', slice)).whole).filter((h) => h.strike);
      // "4", "2" and "+" (sector 1).
      assert.strictEqual(two.length, 3, 'slice ' + slice);
    }
  });

  await check('the sound is off until turned on, starts at the clock, keeps the newest, and outlives a restart', async () => {
    const m = await module();
    const code = fs.readFileSync(codeFile, 'latin1');
    assert.strictEqual(m._tallivo_sound_render(1000), 0, 'nothing before a start');
    assert.strictEqual(m._tallivo_sound_rate(), RATE);
    assert.strictEqual(m.ccall('tallivo_start', 'number', ['string', 'number'], [code, 0]), 0);
    const typeAndRun = (tape) => {
      assert.strictEqual(m.ccall('tallivo_type', 'number', ['string'], [tape]), 0);
      while (m._tallivo_tape_end() === 0) m._tallivo_run(12300);
    };
    typeAndRun('4 2 +');
    assert.strictEqual(m._tallivo_sound_waiting(), 0, 'off: the printer told nobody');
    assert.strictEqual(m._tallivo_sound_render(1 << 20), 0);

    // Turned on, what was printed before is not heard.
    m._tallivo_sound(1);
    assert.strictEqual(m._tallivo_sound_waiting(), 0);
    assert.strictEqual(m.ccall('tallivo_type', 'number', ['string'], ['7 +']), 0);
    while (m._tallivo_tape_end() === 0) m._tallivo_run(12300);
    assert.strictEqual(m._tallivo_sound_waiting(), 1);
    // Taken late, only the newest samples come, up to the clock.
    const count = m._tallivo_sound_render(2000);
    assert.strictEqual(count, 2000);
    assert.strictEqual(m._tallivo_sound_first() + count, sampleAt(m._tallivo_periods_run() + WARM_UP));
    // A render with nothing new hands nothing.
    assert.strictEqual(m._tallivo_sound_render(2000), 0);

    m._tallivo_sound(0);
    typeAndRun('9 +');
    assert.strictEqual(m._tallivo_sound_waiting(), 0);
    assert.strictEqual(m._tallivo_sound_render(1 << 20), 0);

    // On for the next start too (the kiosk starts afresh).
    m._tallivo_sound(1);
    assert.strictEqual(m.ccall('tallivo_start', 'number', ['string', 'number'], [code, 0]), 0);
    assert.strictEqual(m._tallivo_sound_waiting(), 0);
    typeAndRun('1 +');
    assert.ok(m._tallivo_sound_render(1 << 20) > 0);
    // A most of 0 drops what is due.
    typeAndRun('2 +');
    assert.strictEqual(m._tallivo_sound_render(0), 0);
    assert.strictEqual(m._tallivo_sound_waiting(), 0);
  });

  await check('the page plays the sound back to back, about 80 ms behind the board, and rests in a silence', async () => {
    // An audio context whose clock the test moves, as the board's clock
    // moves: every block started is kept with when it is to be heard.
    const made = [];
    class FakeAudio {
      constructor(options) {
        this.sampleRate = (options && options.sampleRate) || 48000;
        this.state = 'suspended';
        this.currentTime = 0;
        this.blocks = [];
        this.destination = {};
        made.push(this);
      }
      resume() { if (this.state !== 'closed') this.state = 'running'; return Promise.resolve(); }
      suspend() { this.state = 'suspended'; return Promise.resolve(); }
      close() { this.state = 'closed'; return Promise.resolve(); }
      createBuffer(channels, length, rate) {
        assert.deepStrictEqual([channels, rate], [1, RATE]);
        const data = new Float32Array(length);
        return { length, sampleRate: rate, data, copyToChannel: (from, channel) => { assert.strictEqual(channel, 0); data.set(from); } };
      }
      createBufferSource() {
        const context = this;
        return { connect() {}, start(at) { context.blocks.push({ at, end: at + this.buffer.length / RATE, now: context.currentTime, data: this.buffer.data }); } };
      }
    }
    const m = await module();
    const code = fs.readFileSync(codeFile, 'latin1');
    assert.strictEqual(m.ccall('tallivo_start', 'number', ['string', 'number'], [code, 0]), 0);
    const sound = pageSound(m, { on: true, AudioContextClass: FakeAudio });
    // A frame: the board runs a frame's periods, the audio clock the same
    // time, and the page takes the sound.
    const frame = (pump = true) => {
      m._tallivo_run(12300);
      if (sound.context && sound.context.state === 'running') sound.context.currentTime += 12300 / PERIODS_PER_SECOND;
      if (pump) sound.pump();
    };
    const typeAndPrint = (tape, pump = true) => {
      assert.strictEqual(m.ccall('tallivo_type', 'number', ['string'], [tape]), 0);
      while (m._tallivo_tape_end() === 0) frame(pump);
    };
    const loud = (b) => b.data.some((v) => Math.abs(v) > 0.2);

    // Before any touch: no audio, and the board tells nobody.
    typeAndPrint('1 +');
    assert.strictEqual(made.length, 0);
    assert.strictEqual(m._tallivo_sound_waiting(), 0);
    sound.gesture();
    assert.strictEqual(made.length, 1);
    const audio = made[0];
    assert.strictEqual(audio.sampleRate, RATE);
    assert.strictEqual(audio.state, 'running');

    typeAndPrint('1 2 3 4 5 6 7 8 +');
    let blocks = audio.blocks;
    assert.ok(blocks.length > 10 && blocks.some(loud), blocks.length + ' blocks');
    for (const [i, b] of blocks.entries()) {
      assert.ok(b.at >= b.now + 0.005 - 1e-9, 'block ' + i + ' is not late');
      assert.ok(b.end <= b.now + 0.08 + 1e-6, 'block ' + i + ' ends at most 80 ms after the board made it: ' + (b.end - b.now));
      if (i > 0) assert.ok(b.at >= blocks[i - 1].end - 1e-9, 'block ' + i + ' after the one before');
    }
    // Within the line the blows ring into each other: the blocks follow
    // each other without a gap, as the board's frames did.
    const backToBack = blocks.filter((b, i) => i > 0 && Math.abs(b.at - blocks[i - 1].end) < 1e-9).length;
    assert.ok(backToBack >= 8, backToBack + ' blocks right after the one before');

    // After a second of silence the audio rests; the next sound wakes it.
    for (let i = 0; i < 70; ++i) frame();
    assert.deepStrictEqual([audio.state, sound.resting], ['suspended', true]);
    const rested = audio.blocks.length;
    typeAndPrint('5 +');
    assert.strictEqual(audio.state, 'running');
    assert.ok(audio.blocks.slice(rested).some(loud), 'heard after the rest');

    // A page that got no frame for a while hands over a long handful: it is
    // heard at once, later than the lead, and catches up in the next silence
    // without cutting into what is still to be heard.
    const before = audio.blocks.length;
    assert.strictEqual(m.ccall('tallivo_type', 'number', ['string'], ['7 7 +']), 0);
    for (let i = 0; i < 10; ++i) frame(false);
    typeAndPrint('', true);
    typeAndPrint('3 +');
    blocks = audio.blocks.slice(before);
    assert.ok(blocks[0].end - blocks[0].now > 0.1, 'the long handful is heard late');
    for (let i = 1; i < blocks.length; ++i) assert.ok(blocks[i].at >= blocks[i - 1].end - 1e-9, 'no overlap at ' + i);
    const last = blocks[blocks.length - 1];
    assert.ok(last.end - last.now <= 0.08 + 1e-6, 'caught up: ' + (last.end - last.now));

    // Off: the audio is closed and the board tells nobody.
    sound.setOn(false);
    assert.strictEqual(audio.state, 'closed');
    typeAndPrint('9 +');
    assert.strictEqual(m._tallivo_sound_waiting(), 0);
    sound.pump();
    assert.strictEqual(made.length, 1);
    // On again (a click on the button): a new audio.
    sound.setOn(true);
    assert.strictEqual(made.length, 2);
    typeAndPrint('4 +');
    assert.ok(made[1].blocks.some(loud));

    // A browser whose audio cannot be made: silent, the button told.
    const broken = pageSound(m, { on: true, AudioContextClass: function () { throw new Error('no device'); } });
    let told = 0;
    broken.onchange = () => ++told;
    broken.gesture();
    assert.deepStrictEqual([broken.available, broken.on, told], [false, false, 1]);
    assert.strictEqual(pageSound(m, { on: true }).available, false, 'no Web Audio at all');
  });

  await check('a sum prints and ends as in the runner', async () => {
    const tape = '1 2 + 3 4 + =';
    const expected = runnerResult(tape);
    const got = await moduleResult(tape, { until: expected.state.periodsRun });
    assert.deepStrictEqual(got.paper, expected.paper);
    assert.deepStrictEqual(got.state, expected.state);
    assert.deepStrictEqual(got.paper.map((l) => l.trim()), ['12 +', '34 +', '46 =  *']);
  });

  await check('frames of any size give the same run', async () => {
    const tape = '9 9 9 X 9 9 9 = 5 -';
    const expected = runnerResult(tape);
    for (const slice of [100, 7777, 1000000]) {
      const got = await moduleResult(tape, { slice, until: expected.state.periodsRun });
      assert.deepStrictEqual(got.paper, expected.paper, 'slice ' + slice);
      assert.deepStrictEqual(got.state, expected.state, 'slice ' + slice);
    }
  });

  await check('the switches, red lines, memory and its lamp as in the runner', async () => {
    const tape = '2 / 3 = 5 - 9 = 7 M+ RM';
    const expected = runnerResult(tape, ['--dp', '2', '--round', '2']);
    const got = await moduleResult(tape, { decimalPoint: 2, rounding: 2, until: expected.state.periodsRun });
    assert.deepStrictEqual(got.paper, expected.paper);
    assert.deepStrictEqual(got.state, expected.state);
    const m = got.m;
    const red = [];
    for (let i = 0; i < m._tallivo_paper_count(); ++i) if (m._tallivo_paper_red(i)) red.push(got.paper[i]);
    assert.ok(red.length > 0 && red.every((l) => l.includes('-')), 'red lines carry the mark: ' + red);
    assert.strictEqual(m._tallivo_lamps() & 1, got.state.lamps.M);
  });

  await check('the flowchart lights its pictures and leaves the board as it was', async () => {
    const tape = '1 + 2 =';
    const plain = await moduleResult(tape);
    const lit = await moduleResult(tape, { hitValue: 512, pictures: true });
    assert.deepStrictEqual(lit.state, plain.state);
    const m = lit.m;
    const width = m._tallivo_flowchart_width();
    const height = m._tallivo_flowchart_height();
    // The picture's own size, which fits the room under the desktop's panels.
    assert.ok(width === 1270 && height > 0 && height <= 480, width + 'x' + height);
    assert.ok(m._tallivo_flowchart_redraws() > 0);
    // Asked for first: reading the pixels may grow the module's memory.
    const at = m._tallivo_flowchart_pixels();
    const pixels = m.HEAPU8.subarray(at, at + width * height * 4);
    let yellow = 0;
    for (let i = 0; i < pixels.length; i += 4) {
      if (pixels[i] === 255 && pixels[i + 1] === 255 && pixels[i + 2] === 0) yellow++;
      assert.strictEqual(pixels[i + 3], 255);
    }
    assert.ok(yellow > 0, 'the running box is yellow');
  });

  await check('the recoloured areas, drawn one by one, give the whole picture', async () => {
    // The same keys twice: once drawing each frame's areas into a copy, once
    // reading the picture only at the end, when it is converted whole.
    const run = async (eachFrame) => {
      const { m } = await moduleResult('1 +', { hitValue: 512, pictures: true });
      eachFrame(m);
      for (const key of ['2', '+', '=']) {
        m.ccall('tallivo_type', 'number', ['string'], [key]);
        while (m._tallivo_tape_end() === 0) {
          m._tallivo_run(12300);
          eachFrame(m);
        }
      }
      return m;
    };
    let copy = null;
    let frames = 0;
    const drawn = await run((m) => {
      const width = m._tallivo_flowchart_width();
      const height = m._tallivo_flowchart_height();
      if (copy === null) copy = new Uint8Array(width * height * 4);
      const count = m._tallivo_flowchart_take_areas();
      const at = m._tallivo_flowchart_pixels();
      const areas = m._tallivo_flowchart_areas() >> 2;
      for (let a = 0; a < count; ++a) {
        const [x, y, w, h] = m.HEAP32.subarray(areas + a * 4, areas + a * 4 + 4);
        assert.ok(x >= 0 && y >= 0 && w > 0 && h > 0 && x + w <= width && y + h <= height, 'inside the picture');
        for (let row = y; row < y + h; ++row) {
          const start = (row * width + x) * 4;
          copy.set(m.HEAPU8.subarray(at + start, at + start + w * 4), start);
        }
      }
      if (count > 0) ++frames;
    });
    assert.ok(frames > 5, 'frames with recoloured areas: ' + frames);
    assert.strictEqual(drawn._tallivo_flowchart_take_areas(), 0, 'nothing new without a clock period');
    const whole = await run(() => {});
    const at = whole._tallivo_flowchart_pixels();
    assert.ok(Buffer.from(copy).equals(Buffer.from(whole.HEAPU8.subarray(at, at + copy.length))),
      'the copy drawn from the areas equals the picture converted whole');
  });

  await check('bad input is refused with a reason and loses nothing', async () => {
    const m = await module();
    assert.strictEqual(m._tallivo_run(1000), 0, 'nothing runs before a start');
    assert.strictEqual(m.ccall('tallivo_type', 'number', ['string'], ['1']), 1);
    const broken = new Uint8Array([0x42, 0x4d, 1, 2, 3]);
    assert.strictEqual(setPictures(m, broken, broken), 1);
    assert.match(m.UTF8ToString(m._tallivo_last_error()), /Flowchart\.bmp was refused/);
    const code = fs.readFileSync(codeFile, 'latin1');
    assert.strictEqual(m.ccall('tallivo_start', 'number', ['string', 'number'], [code, 512]), 0);
    assert.strictEqual(m._tallivo_flowchart_width(), 0, 'no flowchart without pictures');
    assert.strictEqual(m._tallivo_flowchart_pixels(), 0);
    assert.strictEqual(m.ccall('tallivo_type', 'number', ['string'], ['1 + 2 + NOPE']), 1);
    assert.match(m.UTF8ToString(m._tallivo_last_error()), /NOPE/);
    assert.strictEqual(m._tallivo_tape_end(), 0, 'a refused tape types nothing');
    assert.strictEqual(m._tallivo_set_switches(8, 1), 1);
    assert.strictEqual(m._tallivo_set_switches(0, 3), 1);
    assert.strictEqual(m.UTF8ToString(m._tallivo_paper_line(-1)), '');
    assert.strictEqual(m.UTF8ToString(m._tallivo_paper_line(1 << 30)), '');
    assert.strictEqual(m._tallivo_press_key(-1), 1);
    assert.match(m.UTF8ToString(m._tallivo_last_error()), /no key -1/);
    assert.strictEqual(m._tallivo_press_key(30), 1);
    assert.strictEqual(m._tallivo_keys_down(), 0);
    assert.strictEqual(m._tallivo_keys_waiting(), 0);
    // A tape longer than the keys' queue is refused whole.
    assert.strictEqual(m.ccall('tallivo_type', 'number', ['string'], ['7'.repeat(257)]), 1);
    assert.match(m.UTF8ToString(m._tallivo_last_error()), /257 keys.*at most 256 presses/);
    assert.strictEqual(m._tallivo_keys_waiting(), 0);
  });

  await check('clicks with no clock period between them all reach the firmware, each once', async () => {
    const m = await module();
    const code = fs.readFileSync(codeFile, 'latin1');
    assert.strictEqual(m.ccall('tallivo_start', 'number', ['string', 'number'], [code, 0]), 0);
    const key = (caption) => JSON.parse(m.UTF8ToString(m._tallivo_layout_json())).controls
      .find((c) => c.kind === 'key' && c.caption === caption).key;
    for (const caption of ['7', '7', '+', '=']) {
      assert.strictEqual(m._tallivo_press_key(key(caption)), 0);
      m._tallivo_release_key(key(caption));
    }
    assert.strictEqual(m._tallivo_keys_waiting(), 4);
    m._tallivo_run(2000000);
    assert.strictEqual(m._tallivo_keys_waiting(), 0);
    const paper = [];
    for (let i = 0; i < m._tallivo_paper_count(); ++i) paper.push(m.UTF8ToString(m._tallivo_paper_line(i)).trim());
    assert.deepStrictEqual(paper, ['77 +', '77 =  *']);
    // Beyond the queue's length a press is refused, and said.
    for (let i = 0; i < 256; ++i) {
      assert.strictEqual(m._tallivo_press_key(key(i % 2 ? '1' : '2')), 0);
      m._tallivo_release_key(key(i % 2 ? '1' : '2'));
    }
    assert.strictEqual(m._tallivo_press_key(key('3')), 1);
    assert.match(m.UTF8ToString(m._tallivo_last_error()), /256 presses are waiting.*"3" was not taken/);
  });

  await check('a tape written as the PC keys type it prints as its captions do', async () => {
    const expected = runnerResult('1 2 . 5 + 7 . 2 5 - <> =');
    const got = await moduleResult('12.5+7,25- <> =', { until: expected.state.periodsRun });
    assert.deepStrictEqual(got.paper, expected.paper);
    assert.deepStrictEqual(got.state, expected.state);
  });

  await check('the layout has the panel: 30 keys with their PC keys, the switches and the lamps', async () => {
    const m = await module();
    const layout = JSON.parse(m.UTF8ToString(m._tallivo_layout_json()));
    const keys = layout.controls.filter((c) => c.kind === 'key');
    assert.strictEqual(keys.length, 30);
    assert.deepStrictEqual(keys.map((k) => k.key), [...Array(30).keys()]);
    assert.ok(keys.every((k) => /^PC keys?: /.test(k.tooltip)), 'every key has a PC key');
    assert.strictEqual(layout.controls.filter((c) => c.kind === 'decimal').length, 8);
    assert.strictEqual(layout.controls.filter((c) => c.kind === 'rounding').length, 3);
    assert.deepStrictEqual(Object.keys(layout.lamps).sort(), ['M', 'NEG', 'OVF']);
  });

  await check('PC keys hold the keys the desktop program binds them to', async () => {
    const m = await module();
    const layout = JSON.parse(m.UTF8ToString(m._tallivo_layout_json()));
    const captionOf = (key) => layout.controls.find((c) => c.key === key).caption;
    const codes = { escape: m._tallivo_pc_key_code(0), backspace: m._tallivo_pc_key_code(1),
      return: m._tallivo_pc_key_code(2), enter: m._tallivo_pc_key_code(3) };
    const held = (key, location = 0) => {
      const index = m._tallivo_key_for_pc_key(pcKeyCode({ key, location }, codes));
      return index < 0 ? null : captionOf(index);
    };
    // [PC key, the calculator key it holds (null: none), location 3 for the keypad].
    const cases = [['7', '7'], ['s', 'S'], ['S', 'S'], ['z', '00'], [',', '.'], ['*', 'X'], ['x', 'X'],
      ['Enter', '='], ['Enter', '=', 3], ['Escape', 'C'], ['Backspace', 'CE'], ['<', '<>'], ['k', 'M+='],
      ['F5', null], ['w', null]];
    for (const [key, caption, location = 0] of cases)
      assert.strictEqual(held(key, location), caption, key + ' at location ' + location);
  });

  await check('the address types a tape however its spaces are written', async () => {
    const captions = (search) => tapeFromQuery(search).captions;
    assert.strictEqual(captions('?type=1%202%20+%203%204%20+%20='), '1 2 + 3 4 + =');
    assert.strictEqual(captions('?type=1+2+%2B+3+4+%2B+%3D'), '1 2 + 3 4 + =');
    assert.strictEqual(captions('?type=7%20M+%20RM'), '7 M+ RM');
    assert.strictEqual(captions('?x=1&type=M%2B%3D+CE&y=2'), 'M+= CE');
    assert.strictEqual(captions('?type=1%20%202'), '1 2');
    assert.strictEqual(captions('?type='), '');
    assert.strictEqual(captions('?other=1'), null);
    assert.strictEqual(captions(''), null);
    assert.match(tapeFromQuery('?type=1%E0%A4%A').error, /not readable/);
  });

  await check('the address sets the switches and the kiosk; values out of range are named', async () => {
    const o = pageOptions('?kiosk&idle=5&demo=1+%2B+2+%3D&dp=3&round=0');
    assert.deepStrictEqual([o.kiosk, o.idle, o.demo, o.dp, o.round, o.errors], [true, 5, '1 + 2 =', 3, 0, []]);
    const plain = pageOptions('?type=1');
    assert.deepStrictEqual([plain.kiosk, plain.idle, plain.demo, plain.dp, plain.round], [false, 180, null, 0, 1]);
    const bad = pageOptions('?dp=8&round=x&idle=0');
    assert.deepStrictEqual([bad.dp, bad.round, bad.idle], [0, 1, 180]);
    assert.strictEqual(bad.errors.length, 3);
    assert.match(bad.errors[0], /\?dp=8 is not a whole number from 0 to 7/);
    assert.deepStrictEqual([plain.sound, pageOptions('?sound=off').sound, pageOptions('?sound=on').sound], [true, false, true]);
    const loud = pageOptions('?sound=loud');
    assert.deepStrictEqual([loud.sound, loud.errors], [true, ['?sound=loud is neither on nor off.']]);
  });

  await check('the Sound button\'s choice goes into the address and leaves the rest of it as written', async () => {
    const base = 'http://127.0.0.1:8000/';
    assert.strictEqual(addressWithSound(base, false), base + '?sound=off');
    assert.strictEqual(addressWithSound(base + '?sound=off', true), base);
    const tape = base + 'index.html?type=1%202%20+%203&dp=2#end';
    const off = addressWithSound(tape, false);
    assert.strictEqual(off, base + 'index.html?type=1%202%20+%203&dp=2&sound=off#end');
    assert.strictEqual(addressWithSound(off, true), tape);
    assert.strictEqual(addressWithSound(off, false), off, 'once');
    assert.strictEqual(addressWithSound(base + '?sound=on&kiosk', false), base + '?kiosk&sound=off');
    const o = pageOptions(new URL(off).search);
    assert.deepStrictEqual([o.tape.captions, o.dp, o.sound], ['1 2 + 3', 2, false]);
  });

  await check('a copied link reads back as the same keys and switches', async () => {
    const m = await module();
    const layout = JSON.parse(m.UTF8ToString(m._tallivo_layout_json()));
    const every = layout.controls.filter((c) => c.kind === 'key').map((c) => c.caption);
    for (const captions of [every, ['+'], ['%'], ['<>', '='], []]) {
      const link = linkForTape('http://127.0.0.1:8000/index.html?kiosk&type=9#x', captions, { decimal: 7, rounding: 2 });
      const search = new URL(link).search;
      assert.ok(link.startsWith('http://127.0.0.1:8000/index.html?dp=7&round=2'), link);
      const o = pageOptions(search);
      assert.strictEqual(o.tape.captions, captions.length > 0 ? captions.join(' ') : null, link);
      assert.deepStrictEqual([o.dp, o.round, o.kiosk], [7, 2, false]);
    }
    assert.strictEqual(layout.about.text, 'Tallivo Calculator Version 0.1');
  });

  await check('at every screen size the keyboard fits across, its keys a finger wide and apart', async () => {
    const m = await module();
    const { controls } = JSON.parse(m.UTF8ToString(m._tallivo_layout_json()));
    const keys = controls.map((c, i) => [c, i]).filter(([c]) => c.kind === 'key').map(([, i]) => i);
    for (let width = 360; width <= 1920; width += 8) {
      for (const height of [640, 360, 1080]) {
        for (const maxScale of [1, 3]) {
          const fit = fitPage(controls, width, height, { maxScale });
          const k = fit.keyboard;
          const size = width + 'x' + height + ' at most ' + maxScale;
          assert.ok(k.width + 2 * LAYOUT.BORDER <= width, size + ': the keyboard is ' + k.width + ' px wide');
          if (fit.beside && k.mode === 'compact') {
            assert.ok(k.width + 2 * LAYOUT.BORDER + LAYOUT.GAP + LAYOUT.PAPER_WINDOW <= width, size + ': no room beside');
          }
          const rects = keys.map((i) => k.rects[i]);
          for (const [n, r] of rects.entries()) {
            assert.ok(r.w >= LAYOUT.MIN_KEY - 0.01 && r.h >= 28, size + ': key ' + controls[keys[n]].caption + ' is ' + r.w + 'x' + r.h);
            assert.ok(r.x >= 0 && r.y >= 0 && r.x + r.w <= k.width + 0.01 && r.y + r.h <= k.height + 0.01, size + ': inside');
            for (const other of rects.slice(n + 1)) {
              const apart = r.x + r.w <= other.x + 0.01 || other.x + other.w <= r.x + 0.01 ||
                r.y + r.h <= other.y + 0.01 || other.y + other.h <= r.y + 0.01;
              assert.ok(apart, size + ': key ' + controls[keys[n]].caption + ' overlaps another');
            }
          }
          // The band's controls stay clear of the keys.
          const band = controls.map((c, i) => [c, k.rects[i]]).filter(([c, r]) => c.kind !== 'key' && !r.hidden && r.w > 0);
          const keyTop = Math.min(...rects.map((r) => r.y));
          for (const [c, r] of band) assert.ok(r.y + r.h <= keyTop + 0.01, size + ': ' + c.kind + ' ' + c.caption + ' over the keys');
        }
      }
    }
  });

  process.exit(failures === 0 ? 0 : 1);
})();
