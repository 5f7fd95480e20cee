// Reads a sheet's text and XML descriptors with third-party parsers, lays TEXT
// out with a third-party layout, and prints each glyph's box as its users
// place the quad: "ID X Y WIDTH HEIGHT", one line a glyph.
// usage: node layout.js NAME.fnt NAME.xml TEXT
'use strict'
const fs = require('fs')
const assert = require('assert')
const parseText = require('parse-bmfont-ascii')
const parseXml = require('parse-bmfont-xml')
const createLayout = require('layout-bmfont-text')

const [fntPath, xmlPath, text] = process.argv.slice(2)
const fonts = [parseText(fs.readFileSync(fntPath)), parseXml(fs.readFileSync(xmlPath))]

// Both forms must say the same thing, field for field.
const glyphKeys = ['id', 'x', 'y', 'width', 'height', 'xoffset', 'yoffset', 'xadvance', 'page', 'chnl']
const pick = (obj, keys) => keys.map((k) => obj[k])
const summary = (font) => ({
  common: pick(font.common, ['lineHeight', 'base', 'scaleW', 'scaleH', 'pages']),
  pages: font.pages,
  chars: font.chars.map((c) => pick(c, glyphKeys)),
  kernings: font.kernings.map((k) => pick(k, ['first', 'second', 'amount'])),
})
const [fromText, fromXml] = fonts.map(summary)
for (const s of [fromText, fromXml]) {
  assert.ok(s.chars.length > 0, 'no glyphs parsed')
  assert.ok(s.chars.flat().every(Number.isInteger), 'a glyph field is not an integer')
  assert.ok(s.kernings.flat().every(Number.isInteger), 'a kerning field is not an integer')
}
// parse-bmfont-xml 1.1.6 keeps the first <page> of each <pages> element, so
// of a set of pages it reads the first only; the rest must agree.
assert.deepStrictEqual(fromXml.pages, fromText.pages.slice(0, 1), 'the first page differs')
assert.deepStrictEqual({ ...fromXml, pages: [] }, { ...fromText, pages: [] }, 'the text and XML descriptors differ')

const boxes = fonts.map((font) => {
  const layout = createLayout({ font, text, letterSpacing: 0 })
  // The layout drops characters the font lacks; every one must be placed.
  assert.strictEqual(layout.glyphs.length, text.length, 'a character was not placed')
  return layout.glyphs.map((g) => [g.data.id, g.position[0] + g.data.xoffset,
    g.position[1] + g.data.yoffset, g.data.width, g.data.height].join(' '))
})
assert.deepStrictEqual(boxes[1], boxes[0], 'the two forms lay out differently')
process.stdout.write(boxes[0].join('\n') + '\n')
