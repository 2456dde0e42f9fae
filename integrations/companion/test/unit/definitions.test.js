'use strict'
const test = require('node:test')
const assert = require('node:assert/strict')
const defs = require('../../src/definitions.js')
const { validHost } = require('../../src/config.js')
const { ConsoleState } = require('../../src/state.js')
const { item } = require('../console.js')

function catalogue(n, extra = {}) {
	const s = new ConsoleState()
	const items = Array.from({ length: n }, (_, i) => item(i + 1))
	s.apply({ type: 'state', connected: true, locked: false, current: null, total: n, items, ...extra })
	return s
}

test('an item option becomes the API item: current, #position, guid or name', () => {
	// prettier-ignore
	const cases = [['', undefined], [undefined, undefined], ['#12', 12], [' #3 ', 3], ['#x', '#x'], ['Lower third', 'Lower third']]
	for (const [value, api] of cases) assert.equal(defs.apiItem(value), api, JSON.stringify(value))
})

test('item lists and presets are capped; each item preset is a PGM button with its tally and picture', () => {
	const s = catalogue(defs.CHOICE_CAP + 50)
	const choices = defs.itemChoices(s)
	assert.equal(choices.length, defs.CHOICE_CAP + 1)
	// prettier-ignore
	assert.deepEqual(choices.slice(0, 2), [{ id: '', label: '(current item)' }, { id: 'g1', label: '1. Item 1' }])
	const { items } = defs.presetItems(s, (guid) => (guid === 'g2' ? { png: 'PNG', serial: 1 } : undefined))
	const presets = Object.entries(defs.presetDefinitions(items)).filter(([id]) => id.startsWith('item_'))
	assert.equal(presets.length, defs.PRESET_CAP)
	const [[, first], [, second]] = presets
	assert.deepEqual(second.steps[0].down, [{ actionId: 'pgm', options: { item: 'g2' } }])
	const feedbacks = second.feedbacks.map((f) => `${f.feedbackId} ${f.options.item}`)
	assert.deepEqual(feedbacks, ['on_pgm g2', 'on_pvw g2', 'picture g2'])
	assert.deepEqual([second.previewStyle.png64, first.previewStyle], ['PNG', undefined])
})

test("the picture is asked for at the button's size, within 1 to 256", async () => {
	const asked = []
	const fb = defs.feedbackDefinitions(catalogue(1), (guid, size) => (asked.push(size), 'PNG'))
	const context = { parseVariablesInString: async (text) => text }
	// prettier-ignore
	const cases = [[{ width: 72, height: 72 }, 72], [{ width: 400, height: 200 }, 256], [undefined, 72], [{ width: 0.2, height: 0 }, 1]]
	for (const [image, size] of cases) {
		const value = await fb.picture.callback({ options: { item: 'g1' }, image }, context)
		assert.deepEqual([value.png64, asked.pop()], ['PNG', size], JSON.stringify(image))
	}
})

test('variables are blank while the console is not linked', () => {
	const s = catalogue(2, { current: 'g1', locked: true })
	const blank = { current_item: '', next_cue: '', last_take_ms: '', connected: false, locked: false, total: 0 }
	assert.deepEqual(defs.variableValues(s, false), blank)
	const linked = { current_item: 'Item 1', next_cue: '', last_take_ms: '', connected: true, locked: true, total: 2 }
	assert.deepEqual(defs.variableValues(s, true), linked)
})

test('the console address takes a host name, IPv4 or IPv6, as the client can connect to', () => {
	const valid = ['127.0.0.1', 'console.studio', '::1', 'fe80::1:2', '::ffff:10.0.0.1', '1:2:3:4:5:6:7:8']
	const invalid = ['[::1]', 'fe80::1%eth0', '1:2:3:4:5:6:7:8:9', '1::2::3', 'host name', '']
	assert.deepEqual(valid.filter(validHost), valid)
	assert.deepEqual(invalid.filter(validHost), [])
})
