// The calculator's noise in the page: the module makes the hammer blows, the
// paper feeds and the key clicks from what the board does, and this plays
// them through Web Audio a little behind the board's clock, each handful of
// samples placed right after the one before, so that what is heard keeps
// the simulated clock's time. The sound only follows the clock: it never
// holds it up, and what comes too late is skipped.
//
// Browsers let a page make sound only once the user has touched it: the
// audio starts at the first key touch, click or PC key (gesture()). Until
// then, with the sound off and with no Web Audio at all, the page does no
// audio work and the module tells nobody of its noises.
'use strict';

// `m` is the module; `on` whether the sound is wanted. `AudioContextClass`
// is the browser's (none: the page runs silently and says so on its button).
function pageSound(m, { on = true, AudioContextClass } = {}) {
  const RATE = m._tallivo_sound_rate();
  // How long after the board makes a sound it is heard: room for a late
  // animation frame or two.
  const LEAD = 0.08;
  // Samples are never placed sooner than this ahead of the audio clock.
  const MARGIN = 0.005;
  // Heard later than the lead by more than this, the sound catches up
  // during the next silence.
  const SLACK = 0.02;
  // The most that one call renders: older samples are skipped.
  const MOST_SAMPLES = Math.round(0.3 * RATE);
  // After this long without a sound the audio stops until the next one.
  const IDLE = 1;

  const sound = {
    available: typeof AudioContextClass === 'function',
    on: false,
    context: null,
    // The audio time at which sample number `sample` is heard.
    anchor: null,
    // The number of the sample after the last one handed out, and the
    // audio time at which that one ends.
    nextSample: 0,
    heardUntil: 0,
    // The page stopped the audio for a silence; the next sound resumes it.
    resting: false,
  };

  function listen(listening) {
    m._tallivo_sound(listening ? 1 : 0);
  }

  // Creates or resumes the audio while the user touches the page; the
  // browser refuses both before the first touch. A browser that tells
  // whether a touch counts is asked first, so that a refusal never fills
  // its console.
  sound.gesture = () => {
    if (!sound.on || !sound.available) return;
    if (sound.context && sound.context.state === 'running') return;
    const activation = typeof navigator !== 'undefined' ? navigator.userActivation : undefined;
    if (activation && !activation.isActive) return;
    if (!sound.context) {
      try {
        // At the module's own rate the samples need no converting; a
        // browser that will not take the rate converts them itself.
        try {
          sound.context = new AudioContextClass({ sampleRate: RATE, latencyHint: 'interactive' });
        } catch (e) {
          sound.context = new AudioContextClass();
        }
      } catch (e) {
        // No audio output: the page stays silent.
        sound.available = false;
        sound.on = false;
        if (sound.onchange) sound.onchange();
        return;
      }
      sound.anchor = null;
      listen(true);
    }
    resume();
  };

  function resume() {
    sound.resting = false;
    const result = sound.context.resume();
    if (result && result.catch) result.catch(() => {});
  }

  // The sound wanted or not; turned on from a click, it starts at once.
  sound.setOn = (wanted) => {
    sound.on = Boolean(wanted) && sound.available;
    if (sound.on) {
      sound.gesture();
      return;
    }
    listen(false);
    if (sound.context) {
      // What was still to be heard goes with it.
      const result = sound.context.close();
      if (result && result.catch) result.catch(() => {});
      sound.context = null;
    }
  };

  // After each run of the clock: plays what the board made meanwhile.
  sound.pump = () => {
    const context = sound.context;
    if (!context) return;
    if (context.state !== 'running') {
      // Rested for a silence, or stopped by the system: what waits is kept
      // (the module skips what gets too old) until the audio runs again.
      if (sound.resting && m._tallivo_sound_waiting()) resume();
      return;
    }
    const count = m._tallivo_sound_render(MOST_SAMPLES);
    if (count === 0) {
      if (context.currentTime > sound.heardUntil + IDLE) rest();
      return;
    }
    const start = m._tallivo_sound_samples() >> 2;
    const buffer = context.createBuffer(1, count, RATE);
    buffer.copyToChannel(m.HEAPF32.subarray(start, start + count), 0);
    const source = context.createBufferSource();
    source.buffer = buffer;
    source.connect(context.destination);
    // The audio clock runs on its own thread: its now is read once the block
    // is made, just before it starts, so that a busy page never starts a
    // block in the past.
    const now = context.currentTime;
    // Each handful follows the one before, so that the sound keeps the
    // board's time; it ends LEAD after the audio's now when placed afresh.
    const first = m._tallivo_sound_first();
    const fresh = Math.max(now + LEAD - count / RATE, now + MARGIN);
    let at = sound.anchor ? sound.anchor.time + (first - sound.anchor.sample) / RATE : -Infinity;
    if (at < now + MARGIN) {
      // The audio ran dry: a silence, or the board fell behind.
      at = fresh;
    } else if (first > sound.nextSample && at > fresh + SLACK) {
      // Heard later than the lead (a long first handful, the board ahead of
      // the audio clock): the silence just skipped is shortened, without
      // cutting into what is still to be heard.
      at = Math.max(fresh, sound.heardUntil);
    }
    sound.anchor = { sample: first, time: at };
    sound.nextSample = first + count;
    source.start(at);
    sound.heardUntil = at + count / RATE;
  };

  // Stops the audio while nothing is heard (a hidden page, a silence): an
  // idle calculator keeps no audio running.
  function rest() {
    const context = sound.context;
    if (!context || context.state !== 'running') return;
    sound.resting = true;
    const result = context.suspend();
    if (result && result.catch) result.catch(() => {});
  }
  sound.rest = rest;

  sound.on = Boolean(on) && sound.available;
  return sound;
}

if (typeof module !== 'undefined') module.exports = { pageSound };
