// Hands the flowchart's two pictures to the WebAssembly module under node, as
// the page does once it has fetched them. The module keeps its own copy, so
// the bytes are freed again after the call. Both return the module's status:
// 0 when it took the pictures, 1 when it refused them (its last error says why).
'use strict';

const fs = require('fs');
const path = require('path');

function setPictures(m, picture, types) {
  const p = m._malloc(Math.max(picture.length, 1));
  const t = m._malloc(Math.max(types.length, 1));
  try {
    m.HEAPU8.set(picture, p);
    m.HEAPU8.set(types, t);
    return m._tallivo_set_pictures(p, picture.length, t, types.length);
  } finally {
    m._free(p);
    m._free(t);
  }
}

// The pictures the build put beside the module in the site folder.
function setSitePictures(m, site) {
  return setPictures(m, fs.readFileSync(path.join(site, 'Flowchart.bmp')),
    fs.readFileSync(path.join(site, 'types.bmp')));
}

module.exports = { setPictures, setSitePictures };
