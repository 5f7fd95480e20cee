// Loads a distance-field sheet's three descriptors with load-bmfont, as web
// text libraries do: each must load, agree on every glyph, and the JSON's
// distanceField block must come through.
// usage: node load_field.js NAME SPREAD
'use strict'
const assert = require('assert')
const loadFont = require('load-bmfont')

const [name, spread] = process.argv.slice(2)
const load = (file) => new Promise((resolve, reject) => loadFont(file, (e, font) => (e ? reject(e) : resolve(font))))
const glyphs = (font) => font.chars.map((c) => [c.id, c.x, c.y, c.width, c.height, c.xoffset, c.yoffset, c.xadvance])

Promise.all(['.fnt', '.xml', '.json'].map((ext) => load(name + ext))).then(([text, xml, json]) => {
  assert.ok(text.chars.length > 0, 'no glyphs loaded')
  assert.deepStrictEqual(glyphs(xml), glyphs(text), 'the XML and text descriptors differ')
  assert.deepStrictEqual(glyphs(json), glyphs(text), 'the JSON and text descriptors differ')
  assert.deepStrictEqual(json.distanceField, { fieldType: 'sdf', distanceRange: 2 * Number(spread) })
  assert.deepStrictEqual(text.info.padding, [spread, spread, spread, spread].map(Number))
  process.stdout.write('loaded\n')
}).catch((e) => { process.stderr.write(String(e.stack || e) + '\n'); process.exit(1) })
