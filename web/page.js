// The page around the calculator's board: builds the keyboard from the
// panel's layout and fits it to the screen, paces the clock at 740 kHz
// against the wall clock from the browser's animation frames, shows the
// paper, the lamps and the flowchart as the board drives them, plays the
// machine's sound, and keeps, shares and prints the paper. With ?kiosk it
// runs a museum's calculator.
'use strict';

(() => {
  // The 4004's own clock, in periods a second, run in bursts of 100.
  const RATE = 740000;
  const BURST = 100;
  // The most wall time one frame makes up. A tab the browser stopped
  // animating (hidden, minimised, a stall) carries on where it stopped,
  // rather than racing through the time it missed.
  const MAX_FRAME_MS = 100;
  // Without an animation frame for this long, a shown page is clocked from
  // a timer that looks every WATCH_MS.
  const FRAMELESS_MS = 250;
  const WATCH_MS = 20;
  // The flowchart's hit value, as the desktop program's default -f.
  const HIT_VALUE = 512;
  // The paper keeps at least this many lines in view.
  const PAPER_LINES = 4;

  const $ = (id) => document.getElementById(id);
  const status = $('status');
  const keyboard = $('keyboard');
  const panels = $('panels');
  const paper = $('paper');
  const flowchartWindow = $('flowchart-window');
  const canvas = $('flowchart');
  const options = pageOptions(window.location.search);

  function showStatus(text, isError) {
    status.textContent = text;
    status.classList.toggle('error', Boolean(isError));
  }

  async function fetchBytes(name) {
    const response = await fetch(name);
    if (!response.ok) throw new Error(name + ': ' + response.status + ' ' + response.statusText);
    return new Uint8Array(await response.arrayBuffer());
  }

  // Hands bytes to the module for the length of one call.
  function withBytes(m, arrays, call) {
    const pointers = arrays.map((bytes) => {
      const p = m._malloc(Math.max(bytes.length, 1));
      m.HEAPU8.set(bytes, p);
      return p;
    });
    try {
      return call(pointers);
    } finally {
      pointers.forEach((p) => m._free(p));
    }
  }

  async function start() {
    if (options.kiosk) document.body.classList.add('kiosk');
    registerServiceWorker();
    if (typeof createTallivo !== 'function' || typeof WebAssembly !== 'object') {
      showStatus('This browser cannot run the calculator: it needs WebAssembly.', true);
      return;
    }
    const m = await createTallivo();
    const lastError = () => m.UTF8ToString(m._tallivo_last_error());

    let code;
    try {
      code = new TextDecoder('latin1').decode(await fetchBytes('4001.code'));
    } catch (e) {
      showStatus('The firmware could not be loaded (' + e.message + ').', true);
      return;
    }

    // The flowchart is shown when both pictures load; the calculator runs
    // without it otherwise.
    let flowchartNote = '';
    try {
      const [picture, types] = await Promise.all([fetchBytes('Flowchart.bmp'), fetchBytes('types.bmp')]);
      const result = withBytes(m, [picture, types],
        ([p, t]) => m._tallivo_set_pictures(p, picture.length, t, types.length));
      if (result !== 0) flowchartNote = 'Flowchart not shown: ' + lastError() + '.';
    } catch (e) {
      flowchartNote = 'Flowchart not shown: ' + e.message + '.';
    }

    const layout = JSON.parse(m.UTF8ToString(m._tallivo_layout_json()));
    const view = {
      m, code, layout, buttons: [], captions: [], lamps: {}, radios: { decimal: [], rounding: [] },
      held: new Map(), pointerKeys: new Map(), byPhysicalKey: new Map(),
      stopped: false, paused: false, tape: null, shown: 0, flowchart: null,
      switches: { decimal: options.dp, rounding: options.round },
      // The keys pressed since the start, in order, and whether a switch
      // was turned after the first of them.
      log: [], switchesTurned: false,
      lastError,
    };
    buildKeyboard(view);
    if (!startBoard(view)) return;

    const notes = [...options.errors];
    if (options.tape.error) {
      notes.push(options.tape.error + '.');
    } else if (options.tape.captions) {
      notes.push(typeTape(view, options.tape.captions)
        ? 'Typing: ' + options.tape.captions
        : 'The tape in the address was not typed: ' + lastError() + '.');
    }
    if (flowchartNote) notes.push(flowchartNote);
    showStatus(notes.join(' ') || 'Running at 740 kHz.', notes.some((n) => !n.startsWith('Typing')));

    setUpPcKeys(view);
    setUpTools(view);
    setUpSound(view);
    fitToScreen(view);
    window.addEventListener('resize', () => fitToScreen(view));
    if (options.kiosk) setUpKiosk(view);
    runClock(view);
  }

  // A fresh board: the code loaded, the warm-up run, the switches set, the
  // paper and the flowchart blank and every key up.
  function startBoard(view) {
    const { m } = view;
    if (m.ccall('tallivo_start', 'number', ['string', 'number'], [view.code, HIT_VALUE]) !== 0) {
      showStatus('The calculator could not start: ' + view.lastError(), true);
      return false;
    }
    m._tallivo_set_switches(view.switches.decimal, view.switches.rounding);
    view.held.clear();
    view.pointerKeys.clear();
    view.byPhysicalKey.clear();
    view.log = [];
    view.switchesTurned = false;
    view.tape = null;
    view.shown = 0;
    paper.replaceChildren();
    view.flowchart = setUpFlowchart(view);
    return true;
  }

  // Types captions as tallivo-run --type does; false for a tape with a key
  // the calculator does not have (nothing is typed then).
  function typeTape(view, captions) {
    const { m } = view;
    if (m.ccall('tallivo_type', 'number', ['string'], [captions]) !== 0) return false;
    view.tape = { captions };
    view.log.push(...captions.split(' ').filter((c) => c.length > 0));
    return true;
  }

  // The keyboard's controls: the keys, and in a band above them the
  // switches with their position labels, the lamps and Quit. fitToScreen
  // places them.
  function buildKeyboard(view) {
    const { m, layout } = view;
    const lampNames = {};
    for (const [name, id] of Object.entries(layout.lamps)) lampNames[id] = name;
    const groups = {};
    for (const g of groupBand(layout.controls)) {
      const element = document.createElement('div');
      element.className = 'group';
      element.dataset.kind = g.kind;
      if (g.kind === 'decimal' || g.kind === 'rounding') {
        element.setAttribute('role', 'radiogroup');
        element.setAttribute('aria-label', g.caption !== null ? layout.controls[g.caption].caption
          : g.kind === 'decimal' ? 'Decimals' : 'Rounding');
      }
      g.members.forEach((i, n) => { groups[i] = { element, group: g, n }; });
      g.ticks.forEach((i) => { if (i !== undefined) groups[i] = { element, group: g }; });
      if (g.caption !== null) groups[g.caption] = { element, group: g };
      keyboard.appendChild(element);
      g.element = element;
    }
    const keys = document.createElement('div');
    keys.className = 'group';
    keys.dataset.kind = 'keys';
    keys.setAttribute('role', 'group');
    keys.setAttribute('aria-label', 'Keys');
    keyboard.appendChild(keys);
    view.controls = [];

    layout.controls.forEach((control, index) => {
      let element;
      const home = groups[index];
      if (control.kind === 'key') {
        element = document.createElement('button');
        element.type = 'button';
        element.className = 'key';
        element.textContent = control.caption;
        element.title = control.tooltip;
        element.dataset.key = control.key;
        setUpKeyButton(view, element, control.key);
        view.buttons[control.key] = element;
        view.captions[control.key] = control.caption;
      } else if (control.kind === 'quit') {
        element = document.createElement('button');
        element.type = 'button';
        element.className = 'quit';
        element.textContent = control.caption;
        element.addEventListener('click', () => {
          view.stopped = true;
          element.disabled = true;
          const periods = m._tallivo_periods_run();
          showStatus('Stopped after ' + Math.round(periods) + ' clock periods. Reload the page to start again.');
        });
      } else if (control.kind === 'decimal' || control.kind === 'rounding') {
        const kind = control.kind;
        const index = view.radios[kind].length;
        element = document.createElement('input');
        element.type = 'radio';
        element.name = kind;
        element.value = index;
        element.checked = index === view.switches[kind];
        const tick = home.group.ticks[home.n];
        element.setAttribute('aria-label', tick !== undefined ? layout.controls[tick].caption : String(index));
        element.addEventListener('change', () => {
          view.switches[kind] = index;
          if (view.log.length > 0) view.switchesTurned = true;
          m._tallivo_set_switches(view.switches.decimal, view.switches.rounding);
        });
        view.radios[kind].push(element);
      } else if (control.kind === 'lamp') {
        element = document.createElement('span');
        element.className = 'lamp';
        element.setAttribute('role', 'img');
        const name = lampNames[control.id];
        element.title = name;
        element.setAttribute('aria-label', name + ' off');
        view.lamps[name] = element;
      } else {
        element = document.createElement('span');
        element.className = 'label';
        if (home && home.group.caption === index) element.classList.add('caption-label');
        element.textContent = control.caption;
        element.setAttribute('aria-hidden', 'true');
      }
      (home ? home.element : control.kind === 'key' ? keys : keyboard).appendChild(element);
      view.controls[index] = { element, group: home ? home.group : null };
    });
    keyboard.addEventListener('contextmenu', (event) => event.preventDefault());
  }

  // A key goes down when the mouse button or a finger goes down on it, and
  // up when that button or finger lifts or leaves the key; each finger holds
  // its own key, so two fingers hold two keys.
  function setUpKeyButton(view, element, key) {
    element.addEventListener('pointerdown', (event) => {
      if (event.button !== 0 || view.pointerKeys.has(event.pointerId)) return;
      // No focus ring, text selection or page scroll from a key press.
      event.preventDefault();
      // A touch is otherwise held by the key it began on, and its leaving
      // would never be seen.
      if (element.hasPointerCapture(event.pointerId)) element.releasePointerCapture(event.pointerId);
      if (pressKey(view, key)) view.pointerKeys.set(event.pointerId, key);
    });
    const letGo = (event) => {
      if (view.pointerKeys.get(event.pointerId) !== key) return;
      view.pointerKeys.delete(event.pointerId);
      releaseKey(view, key);
    };
    for (const type of ['pointerup', 'pointercancel', 'pointerleave']) element.addEventListener(type, letGo);
    // The keys are worked by pointer and PC key alone: a click's own key
    // handling would type a key twice.
    element.addEventListener('keydown', (event) => {
      if (event.key === ' ' || event.key === 'Enter') event.preventDefault();
    });
  }

  // A key goes down by pointer or PC key: the press joins the keys' queue
  // and reaches the firmware however short it is. A press the full queue
  // refuses is said above the page (false). The key goes up when nothing
  // holds it. Every press is kept for "Copy link".
  function pressKey(view, key) {
    const count = view.held.get(key) || 0;
    if (count === 0 && view.m._tallivo_press_key(key) !== 0) {
      showStatus(view.lastError() + '. Type it again once the paper has caught up.', true);
      return false;
    }
    view.held.set(key, count + 1);
    if (count === 0) view.log.push(view.captions[key]);
    return true;
  }

  function releaseKey(view, key) {
    const count = (view.held.get(key) || 0) - 1;
    if (count > 0) {
      view.held.set(key, count);
      return;
    }
    view.held.delete(key);
    view.m._tallivo_release_key(key);
  }

  // PC keys hold calculator keys as in the desktop program: each physical
  // key is remembered by its code, so that its release lets the same key go
  // even after Shift has changed what it types.
  function setUpPcKeys(view) {
    const { m, byPhysicalKey } = view;
    const codes = {
      escape: m._tallivo_pc_key_code(0), backspace: m._tallivo_pc_key_code(1),
      return: m._tallivo_pc_key_code(2), enter: m._tallivo_pc_key_code(3),
    };
    document.addEventListener('keydown', (event) => {
      // With Ctrl, Alt or Meta a key is a shortcut, not a calculator key;
      // the page's own buttons and the About box take their keys.
      if (event.ctrlKey || event.altKey || event.metaKey) return;
      if (event.target.closest && event.target.closest('#tools, dialog[open]')) return;
      const key = m._tallivo_key_for_pc_key(pcKeyCode(event, codes));
      if (key < 0) return;
      event.preventDefault();
      // Auto-repeat only says the key is still held.
      if (event.repeat || byPhysicalKey.has(event.code)) return;
      if (pressKey(view, key)) byPhysicalKey.set(event.code, key);
    });
    document.addEventListener('keyup', (event) => {
      const key = byPhysicalKey.get(event.code);
      if (key === undefined) return;
      event.preventDefault();
      byPhysicalKey.delete(event.code);
      releaseKey(view, key);
    });
    // A key released while the page has no focus never reports its
    // release: let go of every key rather than leave one stuck down.
    const releaseAll = () => {
      for (const key of byPhysicalKey.values()) releaseKey(view, key);
      byPhysicalKey.clear();
    };
    window.addEventListener('blur', releaseAll);
    document.addEventListener('visibilitychange', () => { if (document.hidden) releaseAll(); });
  }

  // Places the keyboard for the screen and sizes the paper so that its
  // last lines stay in view.
  function fitToScreen(view) {
    const width = document.documentElement.clientWidth;
    const height = window.innerHeight;
    const fit = fitPage(view.layout.controls, width, height, { maxScale: options.kiosk ? 3 : 1 });
    const k = fit.keyboard;
    document.body.classList.toggle('compact', k.mode === 'compact');
    keyboard.className = k.mode;
    keyboard.style.width = k.width + 'px';
    keyboard.style.height = k.height + 'px';
    keyboard.style.setProperty('--key-font', k.font + 'px');
    panels.classList.toggle('below', !fit.beside);
    document.documentElement.style.setProperty('--paper-scale', fit.paperScale);
    const px = (v) => v + 'px';
    // Group boxes: in the compact layout where they flow, on the desktop
    // layout at the keyboard's corner with their members placed as drawn.
    const boxes = new Map((k.groups || []).map((g) => [g.kind, g]));
    for (const element of keyboard.querySelectorAll('.group')) {
      const box = k.mode === 'compact' && boxes.get(element.dataset.kind);
      element.style.left = px(box ? box.x : 0);
      element.style.top = px(box ? box.y : 0);
    }
    view.controls.forEach(({ element, group }, index) => {
      const r = k.rects[index];
      const box = k.mode === 'compact' && group ? boxes.get(group.kind) : null;
      element.hidden = Boolean(r.hidden);
      element.style.left = px(r.x - (box ? box.x : 0));
      element.style.top = px(r.y - (box ? box.y : 0));
      element.style.width = px(r.w);
      element.style.height = px(r.h);
      if (element.classList.contains('label')) element.style.lineHeight = px(r.h);
    });
    // The paper reaches down to the foot of the screen (no higher than the
    // desktop's paper beside the keyboard), keeping a few lines at least.
    const top = paper.getBoundingClientRect().top + window.scrollY;
    const lineHeight = 18 * fit.paperScale;
    const room = height - top - 12;
    const tallest = fit.beside && k.mode === 'classic' ? 355 * fit.paperScale : Infinity;
    paper.style.height = px(Math.max(PAPER_LINES * lineHeight + 8, Math.min(room, tallest)));
    paper.scrollTop = paper.scrollHeight;
  }

  // Copy link, Save tape, Print, the flowchart's button and About.
  function setUpTools(view) {
    $('copy-link').addEventListener('click', async () => {
      const link = linkForTape(window.location.href, view.log, view.switches);
      const note = view.switchesTurned ? ' (the switches were turned during the tape: it types it all with them as they are now)' : '';
      try {
        await navigator.clipboard.writeText(link);
        showStatus('Link copied: ' + link + note);
      } catch (e) {
        showStatus('Copy this link: ' + link + note);
      }
    });
    $('save-tape').addEventListener('click', () => {
      const blob = new Blob([paperText(view)], { type: 'text/plain' });
      const a = document.createElement('a');
      a.href = URL.createObjectURL(blob);
      a.download = 'paper.txt';
      document.body.appendChild(a);
      a.click();
      a.remove();
      setTimeout(() => URL.revokeObjectURL(a.href), 10000);
    });
    $('print').addEventListener('click', () => window.print());
    const toggle = $('show-flowchart');
    toggle.addEventListener('click', () => showFlowchart(view, flowchartWindow.hidden));
    // On a large screen the flowchart is shown from the start; on a phone
    // or in a kiosk it waits for the button, rather than squeezing the
    // calculator.
    showFlowchart(view, !options.kiosk && document.documentElement.clientWidth >= 1024 && window.innerHeight >= 700);
    // While the About box is open no clock period runs, as on the desktop.
    const about = $('about-box');
    if (view.layout.about) {
      about.querySelector('#about-caption').textContent = view.layout.about.caption;
      $('about-text').textContent = view.layout.about.text;
    }
    $('about').addEventListener('click', () => {
      view.paused = true;
      about.showModal();
    });
    about.addEventListener('close', () => {
      view.paused = false;
      $('about').focus();
    });
  }

  // The Sound button turns the machine's sound on and off; the address
  // keeps the choice (?sound=off), so that a reload keeps it too. The sound
  // starts with the first touch of the page, as browsers want.
  function setUpSound(view) {
    const button = $('sound');
    const sound = pageSound(view.m, { on: options.sound, AudioContextClass: window.AudioContext || window.webkitAudioContext });
    view.sound = sound;
    const show = () => {
      button.disabled = !sound.available;
      button.setAttribute('aria-pressed', String(sound.on));
      button.title = sound.available ? 'The hammers, the paper feed and the keys, heard as the calculator works'
        : 'This browser plays no sound';
    };
    sound.onchange = show;
    button.addEventListener('click', () => {
      sound.setOn(!sound.on);
      window.history.replaceState(window.history.state, '', addressWithSound(window.location.href, sound.on));
      show();
    });
    for (const type of ['pointerdown', 'pointerup', 'keydown']) window.addEventListener(type, () => sound.gesture(), true);
    // A hidden page's clock stands still: its audio rests too.
    document.addEventListener('visibilitychange', () => { if (document.hidden) sound.rest(); });
    show();
  }

  function showFlowchart(view, shown) {
    const toggle = $('show-flowchart');
    toggle.hidden = view.flowchart === null;
    flowchartWindow.hidden = !shown || view.flowchart === null;
    toggle.setAttribute('aria-pressed', String(!flowchartWindow.hidden));
  }

  // The paper as the desktop's Save Paper As writes it: every line, 24
  // columns each.
  function paperText(view) {
    const { m } = view;
    let text = '';
    for (let i = 0; i < m._tallivo_paper_count(); ++i) text += m.UTF8ToString(m._tallivo_paper_line(i)) + '\n';
    return text;
  }

  // A museum's calculator: after `idle` seconds without a touch it clears
  // its paper and starts afresh; with a demonstration tape it types that
  // tape whenever it stands idle, until someone touches it.
  function setUpKiosk(view) {
    let lastTouch = performance.now();
    let demoShown = false;
    const startDemo = () => {
      if (!options.demo) return;
      if (typeTape(view, options.demo)) {
        demoShown = true;
      } else {
        showStatus('The demonstration tape was not typed: ' + view.lastError() + '.', true);
      }
    };
    const afresh = () => {
      view.switches = { decimal: options.dp, rounding: options.round };
      for (const kind of ['decimal', 'rounding']) view.radios[kind].forEach((r, i) => { r.checked = i === view.switches[kind]; });
      startBoard(view);
      demoShown = false;
    };
    const touched = () => {
      lastTouch = performance.now();
      if (demoShown) afresh();
    };
    // Before the controls' own handlers, so that a key touched during the
    // demonstration goes to the fresh calculator.
    for (const type of ['pointerdown', 'keydown']) window.addEventListener(type, touched, true);
    setInterval(() => {
      const now = performance.now();
      const typing = view.tape && view.m._tallivo_tape_end() === 0;
      if (typing) {
        lastTouch = now;
        return;
      }
      if (now - lastTouch < options.idle * 1000) return;
      lastTouch = now;
      if (view.log.length > 0 || view.m._tallivo_paper_count() > 0) afresh();
      startDemo();
    }, 250);
    startDemo();
  }

  function registerServiceWorker() {
    if (!('serviceWorker' in navigator) || !/^https?:$/.test(window.location.protocol)) return;
    navigator.serviceWorker.register('sw.js').catch(() => {});
  }

  function setUpFlowchart(view) {
    const { m } = view;
    const width = m._tallivo_flowchart_width();
    const height = m._tallivo_flowchart_height();
    if (width === 0 || height === 0) return null;
    canvas.width = width;
    canvas.height = height;
    return { context: canvas.getContext('2d'), image: new ImageData(width, height), width };
  }

  // Copies and draws only the areas the recorder has recoloured since the
  // last frame (the whole picture the first time).
  function drawFlowchart(m, flowchart) {
    const count = m._tallivo_flowchart_take_areas();
    if (count === 0) return;
    // Asked for after the areas were taken: taking them may grow the memory.
    const pixels = m._tallivo_flowchart_pixels();
    const areas = m._tallivo_flowchart_areas() >> 2;
    const bytes = flowchart.image.data;
    const rowBytes = flowchart.width * 4;
    for (let a = 0; a < count; ++a) {
      const [x, y, w, h] = m.HEAP32.subarray(areas + a * 4, areas + a * 4 + 4);
      for (let row = y; row < y + h; ++row) {
        const start = row * rowBytes + x * 4;
        bytes.set(m.HEAPU8.subarray(pixels + start, pixels + start + w * 4), start);
      }
      flowchart.context.putImageData(flowchart.image, 0, 0, x, y, w, h);
    }
  }

  function showNewLines(view) {
    const { m } = view;
    const count = m._tallivo_paper_count();
    if (count === view.shown) return;
    // The paper follows the newest line only while the reader is at its end.
    const following = paper.scrollTop + paper.clientHeight >= paper.scrollHeight - 4;
    for (let i = view.shown; i < count; ++i) {
      const line = document.createElement('div');
      line.textContent = m.UTF8ToString(m._tallivo_paper_line(i));
      if (m._tallivo_paper_red(i)) line.className = 'red';
      paper.appendChild(line);
    }
    if (following) paper.scrollTop = paper.scrollHeight;
    view.shown = count;
  }

  function showPanel(view) {
    const { m } = view;
    const down = m._tallivo_keys_down();
    view.buttons.forEach((button, key) => button.classList.toggle('down', (down & (1 << key)) !== 0));
    const lamps = m._tallivo_lamps();
    [['M', 1], ['OVF', 2], ['NEG', 4]].forEach(([name, bit]) => {
      const lit = (lamps & bit) !== 0;
      const lamp = view.lamps[name];
      if (lamp.classList.contains('lit') !== lit) {
        lamp.classList.toggle('lit', lit);
        lamp.setAttribute('aria-label', name + (lit ? ' on' : ' off'));
      }
    });
  }

  // Each animation frame runs the periods that the wall time since the last
  // frame is worth, in whole bursts; what a burst runs beyond the target is
  // owed back by the next frame.
  function runClock(view) {
    const { m } = view;
    let last = null;
    let owed = 0;
    let lastFrame = performance.now();
    const step = (now) => {
      if (last !== null && !view.stopped && !view.paused) {
        owed += Math.min(Math.max(now - last, 0), MAX_FRAME_MS) * RATE / 1000;
        const bursts = Math.ceil(owed / BURST);
        if (bursts > 0) {
          m._tallivo_run(bursts * BURST);
          owed -= bursts * BURST;
        }
      }
      last = now;
      if (view.sound) view.sound.pump();
      if (view.tape && m._tallivo_tape_end() > 0) {
        if (status.textContent.startsWith('Typing: ')) showStatus(status.textContent.replace('Typing: ', 'Typed: '));
        view.tape = null;
      }
      showNewLines(view);
      showPanel(view);
      if (view.flowchart && !flowchartWindow.hidden) drawFlowchart(m, view.flowchart);
    };
    const frame = (now) => {
      lastFrame = performance.now();
      step(now);
      window.requestAnimationFrame(frame);
    };
    // A page that is shown but gets no animation frames (a headless
    // browser on virtual time does that) is clocked from a timer instead.
    // A hidden page gets neither, so it never runs behind the user's back.
    const watch = () => {
      const now = performance.now();
      if (!document.hidden && now - lastFrame > FRAMELESS_MS) step(now);
      window.setTimeout(watch, WATCH_MS);
    };
    // Back from hidden, the clock starts again from the next frame.
    document.addEventListener('visibilitychange', () => { last = null; });
    window.requestAnimationFrame(frame);
    window.setTimeout(watch, WATCH_MS);
  }

  start().catch((e) => showStatus('The calculator stopped: ' + e.message, true));
})();
