// The typed tape of the page's address: ?type=1 2 + 3 = types those keys one
// after the other, as tallivo-run --type takes them. Between keys stands a
// space, written %20 (or a space, which the browser sends as %20) or '+'.
// Where the address has %20 between keys, '+' is the plus key itself, so
// "?type=1 2 + 3 =" reads as it looks; without %20 every '+' separates keys
// and the plus key is written %2B ("?type=1+2+%2B+3+%3D").
'use strict';

// The tape in the query string `search` ("?type=..."): {captions} with the
// captions separated by single spaces, {captions: null} when the address
// types nothing, or {error} for an address that cannot be read.
function tapeFromQuery(search) {
  const query = search.startsWith('?') ? search.slice(1) : search;
  for (const pair of query.split('&')) {
    const equals = pair.indexOf('=');
    const name = equals < 0 ? pair : pair.slice(0, equals);
    if (name !== 'type') continue;
    const raw = equals < 0 ? '' : pair.slice(equals + 1);
    const spaced = /%20| /i.test(raw);
    const parts = spaced ? raw.split(/%20| /i) : raw.split('+');
    try {
      const captions = parts.map((part) => decodeURIComponent(part)).filter((part) => part.length > 0);
      return { captions: captions.join(' ') };
    } catch (e) {
      return { error: 'the tape in the address is not readable: ' + raw };
    }
  }
  return { captions: null };
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

if (typeof module !== 'undefined') module.exports = { tapeFromQuery, pcKeyCode };
