'use strict'
const test = require('node:test')
const assert = require('node:assert/strict')
const defs = require('../../src/definitions.js')
const { ConsoleState } = require('../../src/state.js')

function catalogue(n, extra = {}) {
	const s = new ConsoleState()
	const items = Array.from({ length: n }, (_, i) => ({ guid: `g${i + 1}`, name: `Item ${i + 1}`, position: i + 1, status: 0 }))
	s.apply({ type: 'state', connected: true, locked: false, current: null, total: n, items, cues: [], next: null, ...extra })
	return s
}

test('an item option becomes the API item: current, #position, guid or name', () => {
	const cases = [['', undefined], [undefined, undefined], ['#12', 12], [' #3 ', 3], ['#x', '#x'], ['{a-b}', '{a-b}'], ['Lower third', 'Lower third']]
	for (const [value, api] of cases) assert.equal(defs.apiItem(value), api, JSON.stringify(value))
})

test('the item lists are capped; the current item comes first', () => {
	const choices = defs.itemChoices(catalogue(defs.CHOICE_CAP + 50))
	assert.equal(choices.length, defs.CHOICE_CAP + 1)
	assert.deepEqual(choices[0], { id: '', label: '(current item)' })
	assert.deepEqual(choices[1], { id: 'g1', label: '1. Item 1' })
})

test('one PGM preset per item, up to the cap, with tally and picture feedbacks', () => {
	const cases = [[3, 3], [defs.PRESET_CAP + 200, defs.PRESET_CAP]]
	for (const [items, expected] of cases) {
		const presets = defs.presetDefinitions(catalogue(items), (guid) => (guid === 'g2' ? 'PNG' : undefined))
		const itemPresets = Object.entries(presets).filter(([id]) => id.startsWith('item_'))
		assert.equal(itemPresets.length, expected)
		const [, second] = itemPresets[1]
		assert.deepEqual(second.steps[0].down, [{ actionId: 'pgm', options: { item: 'g2' } }])
		assert.deepEqual(second.feedbacks.map((f) => [f.feedbackId, f.options.item]), [['on_pgm', 'g2'], ['on_pvw', 'g2'], ['picture', 'g2']])
		assert.equal(second.previewStyle.png64, 'PNG')
		assert.equal(itemPresets[0][1].previewStyle, undefined)
	}
})

test("the picture is asked for at the button's size, within 1 to 256", () => {
	const s = catalogue(1)
	const asked = []
	const fb = defs.feedbackDefinitions(s, (guid, size) => (asked.push(size), 'PNG'))
	const cases = [[{ width: 72, height: 72 }, 72], [{ width: 400, height: 200 }, 256], [undefined, 72], [{ width: 0.2, height: 0 }, 1]]
	for (const [image, size] of cases) {
		asked.length = 0
		assert.deepEqual(fb.picture.callback({ options: { item: 'g1' }, image }), { png64: 'PNG', pngalignment: 'center:center' })
		assert.deepEqual(asked, [size], JSON.stringify(image))
	}
})

test('variables are blank while the console is not linked', () => {
	const s = catalogue(2, { current: 'g1', locked: true })
	assert.deepEqual(defs.variableValues(s, false), { current_item: '', next_cue: '', last_take_ms: '', connected: false, locked: false, total: 0 })
	assert.deepEqual(defs.variableValues(s, true), { current_item: 'Item 1', next_cue: '', last_take_ms: '', connected: true, locked: true, total: 2 })
})
