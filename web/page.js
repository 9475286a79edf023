// The page around the calculator's board: builds the keyboard from the
// panel's layout, paces the clock at 740 kHz against the wall clock from the
// browser's animation frames, and shows the paper, the lamps and the
// flowchart as the board drives them.
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

  const status = document.getElementById('status');
  const keyboard = document.getElementById('keyboard');
  const paper = document.getElementById('paper');
  const flowchartWindow = document.getElementById('flowchart-window');
  const canvas = document.getElementById('flowchart');

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

    if (m.ccall('tallivo_start', 'number', ['string', 'number'], [code, HIT_VALUE]) !== 0) {
      showStatus('The calculator could not start: ' + lastError(), true);
      return;
    }

    const layout = JSON.parse(m.UTF8ToString(m._tallivo_layout_json()));
    const view = buildKeyboard(m, layout);
    const flowchart = setUpFlowchart(m);

    const notes = [];
    const tape = tapeFromQuery(window.location.search);
    if (tape.error) {
      notes.push(tape.error + '.');
    } else if (tape.captions) {
      if (m.ccall('tallivo_type', 'number', ['string'], [tape.captions]) === 0) {
        notes.push('Typing: ' + tape.captions);
        view.tape = { captions: tape.captions };
      } else {
        notes.push('The tape in the address was not typed: ' + lastError() + '.');
      }
    }
    if (flowchartNote) notes.push(flowchartNote);
    showStatus(notes.join(' ') || 'Running at 740 kHz.', notes.some((n) => !n.startsWith('Typing')));

    view.showStatus = showStatus;
    setUpPcKeys(m, view);
    runClock(m, view, flowchart);
  }

  // The keyboard's controls, placed in dialog units as the desktop panel
  // has them.
  function buildKeyboard(m, layout) {
    const view = { buttons: [], lamps: {}, held: new Map(), pointerKeys: new Map(), stopped: false, tape: null };
    const place = (element, [x, y, w, h]) => {
      element.style.left = 'calc(' + x + ' * var(--unit-x))';
      element.style.top = 'calc(' + y + ' * var(--unit-y))';
      element.style.width = 'calc(' + w + ' * var(--unit-x))';
      element.style.height = 'calc(' + h + ' * var(--unit-y))';
    };
    const lampNames = {};
    for (const [name, id] of Object.entries(layout.lamps)) lampNames[id] = name;
    let decimal = 0;
    let rounding = 0;
    const switches = { decimal: 0, rounding: 1 };
    const setSwitches = () => m._tallivo_set_switches(switches.decimal, switches.rounding);

    for (const control of layout.controls) {
      let element;
      if (control.kind === 'key') {
        element = document.createElement('button');
        element.type = 'button';
        element.textContent = control.caption;
        element.title = control.tooltip;
        element.dataset.key = control.key;
        const key = control.key;
        element.addEventListener('pointerdown', (event) => {
          if (event.button !== 0) return;
          element.setPointerCapture(event.pointerId);
          if (pressKey(m, view, key)) view.pointerKeys.set(event.pointerId, key);
        });
        const letGo = (event) => {
          if (!view.pointerKeys.has(event.pointerId)) return;
          view.pointerKeys.delete(event.pointerId);
          releaseKey(m, view, key);
        };
        element.addEventListener('pointerup', letGo);
        element.addEventListener('pointercancel', letGo);
        // The keys are worked by pointer and PC key alone: a click's own
        // key handling would type a key twice.
        element.addEventListener('keydown', (event) => {
          if (event.key === ' ' || event.key === 'Enter') event.preventDefault();
        });
        view.buttons[key] = element;
      } else if (control.kind === 'quit') {
        element = document.createElement('button');
        element.type = 'button';
        element.textContent = control.caption;
        element.addEventListener('click', () => {
          view.stopped = true;
          element.disabled = true;
          const periods = m._tallivo_periods_run();
          showStatus('Stopped after ' + Math.round(periods) + ' clock periods. Reload the page to start again.');
        });
      } else if (control.kind === 'decimal' || control.kind === 'rounding') {
        element = document.createElement('input');
        element.type = 'radio';
        element.name = control.kind;
        const index = control.kind === 'decimal' ? decimal++ : rounding++;
        element.value = index;
        element.checked = index === switches[control.kind];
        element.setAttribute('aria-label', control.kind === 'decimal' ? 'Decimals ' + index : 'Rounding ' + index);
        element.addEventListener('change', () => {
          switches[control.kind] = index;
          setSwitches();
        });
      } else if (control.kind === 'lamp') {
        element = document.createElement('span');
        element.className = 'lamp';
        element.title = lampNames[control.id];
        view.lamps[lampNames[control.id]] = element;
      } else {
        element = document.createElement('span');
        element.className = 'label';
        element.textContent = control.caption;
      }
      place(element, control.rect);
      keyboard.appendChild(element);
    }
    setSwitches();
    return view;
  }

  // A key goes down by pointer or PC key: the press joins the keys' queue
  // and reaches the firmware however short it is. A press the full queue
  // refuses is said above the page. The key goes up when nothing holds it.
  function pressKey(m, view, key) {
    if ((view.held.get(key) || 0) === 0 && m._tallivo_press_key(key) !== 0) {
      view.showStatus(m.UTF8ToString(m._tallivo_last_error()) + '. Type it again once the paper has caught up.', true);
      return false;
    }
    view.held.set(key, (view.held.get(key) || 0) + 1);
    return true;
  }

  function releaseKey(m, view, key) {
    const count = (view.held.get(key) || 0) - 1;
    if (count > 0) {
      view.held.set(key, count);
      return;
    }
    view.held.delete(key);
    m._tallivo_release_key(key);
  }

  // PC keys hold calculator keys as in the desktop program: each physical
  // key is remembered by its code, so that its release lets the same key go
  // even after Shift has changed what it types.
  function setUpPcKeys(m, view) {
    const codes = {
      escape: m._tallivo_pc_key_code(0), backspace: m._tallivo_pc_key_code(1),
      return: m._tallivo_pc_key_code(2), enter: m._tallivo_pc_key_code(3),
    };
    const byPhysicalKey = new Map();
    document.addEventListener('keydown', (event) => {
      // With Ctrl, Alt or Meta a key is a shortcut, not a calculator key.
      if (event.ctrlKey || event.altKey || event.metaKey) return;
      const key = m._tallivo_key_for_pc_key(pcKeyCode(event, codes));
      if (key < 0) return;
      event.preventDefault();
      // Auto-repeat only says the key is still held.
      if (event.repeat || byPhysicalKey.has(event.code)) return;
      if (pressKey(m, view, key)) byPhysicalKey.set(event.code, key);
    });
    document.addEventListener('keyup', (event) => {
      const key = byPhysicalKey.get(event.code);
      if (key === undefined) return;
      event.preventDefault();
      byPhysicalKey.delete(event.code);
      releaseKey(m, view, key);
    });
    // A key released while the page has no focus never reports its
    // release: let go of every key rather than leave one stuck down.
    const releaseAll = () => {
      for (const key of byPhysicalKey.values()) releaseKey(m, view, key);
      byPhysicalKey.clear();
    };
    window.addEventListener('blur', releaseAll);
    document.addEventListener('visibilitychange', () => { if (document.hidden) releaseAll(); });
  }

  function setUpFlowchart(m) {
    const width = m._tallivo_flowchart_width();
    const height = m._tallivo_flowchart_height();
    if (width === 0 || height === 0) return null;
    canvas.width = width;
    canvas.height = height;
    flowchartWindow.hidden = false;
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

  function showNewLines(m, shown) {
    const count = m._tallivo_paper_count();
    if (count === shown) return shown;
    // The paper follows the newest line only while the reader is at its end.
    const following = paper.scrollTop + paper.clientHeight >= paper.scrollHeight - 4;
    for (let i = shown; i < count; ++i) {
      const line = document.createElement('div');
      line.textContent = m.UTF8ToString(m._tallivo_paper_line(i));
      if (m._tallivo_paper_red(i)) line.className = 'red';
      paper.appendChild(line);
    }
    if (following) paper.scrollTop = paper.scrollHeight;
    return count;
  }

  function showPanel(m, view) {
    const down = m._tallivo_keys_down();
    view.buttons.forEach((button, key) => button.classList.toggle('down', (down & (1 << key)) !== 0));
    const lamps = m._tallivo_lamps();
    view.lamps.M.classList.toggle('lit', (lamps & 1) !== 0);
    view.lamps.OVF.classList.toggle('lit', (lamps & 2) !== 0);
    view.lamps.NEG.classList.toggle('lit', (lamps & 4) !== 0);
  }

  // Each animation frame runs the periods that the wall time since the last
  // frame is worth, in whole bursts; what a burst runs beyond the target is
  // owed back by the next frame.
  function runClock(m, view, flowchart) {
    let last = null;
    let owed = 0;
    let shown = 0;
    let lastFrame = performance.now();
    const step = (now) => {
      if (last !== null && !view.stopped) {
        owed += Math.min(Math.max(now - last, 0), MAX_FRAME_MS) * RATE / 1000;
        const bursts = Math.ceil(owed / BURST);
        if (bursts > 0) {
          m._tallivo_run(bursts * BURST);
          owed -= bursts * BURST;
        }
      }
      last = now;
      if (view.tape && m._tallivo_tape_end() > 0) {
        if (status.textContent.startsWith('Typing: ')) showStatus(status.textContent.replace('Typing: ', 'Typed: '));
        view.tape = null;
      }
      shown = showNewLines(m, shown);
      showPanel(m, view);
      if (flowchart) drawFlowchart(m, flowchart);
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
