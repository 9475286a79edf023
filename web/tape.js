// The typed tape of the page's address: ?type=1 2 + 3 = types those keys one
// after the other, as tallivo-run --type takes them. Between keys stands a
// space, written %20 (or a space, which the browser sends as %20) or '+'.
// Where the address has %20 between keys, '+' is the plus key itself, so
// "?type=1 2 + 3 =" reads as it looks; without %20 every '+' separates keys
// and the plus key is written %2B ("?type=1+2+%2B+3+%3D").
'use strict';

// The tape in the query string `search` ("?type=..."): {captions} with the
// captions separated by single spaces, {captions: null} when the address
// types nothing, or {error} for an address that cannot be read. `name` is
// the parameter that holds it ("demo" for a kiosk's demonstration).
function tapeFromQuery(search, name = 'type') {
  const raw = queryValue(search, name);
  if (raw === null) return { captions: null };
  const spaced = /%20| /i.test(raw);
  const parts = spaced ? raw.split(/%20| /i) : raw.split('+');
  try {
    const captions = parts.map((part) => decodeURIComponent(part)).filter((part) => part.length > 0);
    return { captions: captions.join(' ') };
  } catch (e) {
    return { error: 'the tape in the address is not readable: ' + raw };
  }
}

// The raw value of a parameter of the query string, '' for one without a
// value, null for one that is not there.
function queryValue(search, name) {
  const query = search.startsWith('?') ? search.slice(1) : search;
  for (const pair of query.split('&')) {
    const equals = pair.indexOf('=');
    if ((equals < 0 ? pair : pair.slice(0, equals)) === name) return equals < 0 ? '' : pair.slice(equals + 1);
  }
  return null;
}

// What the address asks of the page: the tape to type, the switches
// (?dp=0-7, ?round=0-2 as tallivo-run's --dp and --round), the sound
// (?sound=off starts silent, as the desktop program's -q), and for a museum
// ?kiosk, ?idle=SECONDS (3 minutes unless given) and ?demo=TAPE. A value
// out of range is named in `errors` and the default taken.
function pageOptions(search) {
  const errors = [];
  const whole = (name, low, high, fallback) => {
    const raw = queryValue(search, name);
    if (raw === null) return fallback;
    if (/^[0-9]+$/.test(raw) && Number(raw) >= low && Number(raw) <= high) return Number(raw);
    errors.push('?' + name + '=' + raw + ' is not a whole number from ' + low + ' to ' + high + '.');
    return fallback;
  };
  const demo = tapeFromQuery(search, 'demo');
  if (demo.error) errors.push(demo.error + '.');
  const sound = queryValue(search, 'sound');
  if (sound !== null && sound !== 'on' && sound !== 'off') errors.push('?sound=' + sound + ' is neither on nor off.');
  return {
    tape: tapeFromQuery(search),
    dp: whole('dp', 0, 7, 0),
    round: whole('round', 0, 2, 1),
    kiosk: queryValue(search, 'kiosk') !== null,
    idle: whole('idle', 1, 24 * 3600, 180),
    demo: demo.captions || null,
    sound: sound !== 'off',
    errors,
  };
}

// The page's address `href` with the sound as chosen: ?sound=off when off,
// no sound parameter when on (the default). Everything else in the address
// stays as written, a tape's spaces and pluses included.
function addressWithSound(href, on) {
  const url = new URL(href);
  const query = url.search.startsWith('?') ? url.search.slice(1) : url.search;
  const kept = query.split('&').filter((pair) => pair.length > 0 && pair.split('=')[0] !== 'sound');
  if (!on) kept.push('sound=off');
  return url.origin + url.pathname + (kept.length > 0 ? '?' + kept.join('&') : '') + url.hash;
}

// The address that types `captions` (an array, in order) with these
// switches on a fresh page: `href` with its query replaced. Keys go between
// %20, so '+' stays the plus key; a tape of one key has no %20 and spells
// every character out.
function linkForTape(href, captions, switches) {
  const url = new URL(href);
  const spaced = captions.length > 1;
  const key = (caption) => {
    const text = encodeURIComponent(caption);
    return spaced ? text.replace(/%2B/g, '+').replace(/%3D/g, '=').replace(/%2F/g, '/') : text;
  };
  let query = '?dp=' + switches.decimal + '&round=' + switches.rounding;
  if (captions.length > 0) query += '&type=' + captions.map(key).join('%20');
  return url.origin + url.pathname + query;
}

// The key code of a key event as the calculator's PC-key bindings know it:
// the upper-case character of a key that types one, else the code of the
// named key, else 0. `codes` holds the codes of Escape, Backspace, Return
// and the keypad's Enter.
function pcKeyCode(event, codes) {
  if (event.key.length === 1) return event.key.toUpperCase().charCodeAt(0);
  switch (event.key) {
    case 'Escape': return codes.escape;
    case 'Backspace': return codes.backspace;
    // The keypad's Enter has its own code, as on the desktop.
    case 'Enter': return event.location === 3 ? codes.enter : codes.return;
    default: return 0;
  }
}

if (typeof module !== 'undefined') module.exports = { tapeFromQuery, queryValue, pageOptions, linkForTape, addressWithSound, pcKeyCode };
