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
const context = { parseVariablesInString: async (text) => text }

test('an item option becomes the API item: current, #position, guid or name', () => {
	const cases = [
		['', undefined],
		[undefined, undefined],
		['#12', 12],
		[' #3 ', 3],
		['#x', '#x'],
		['{a-b}', '{a-b}'],
		['Lower third', 'Lower third'],
	]
	for (const [value, api] of cases) assert.equal(defs.apiItem(value), api, JSON.stringify(value))
})

test('the item lists are capped; the current item comes first', () => {
	const choices = defs.itemChoices(catalogue(defs.CHOICE_CAP + 50))
	assert.equal(choices.length, defs.CHOICE_CAP + 1)
	assert.deepEqual(choices.slice(0, 2), [
		{ id: '', label: '(current item)' },
		{ id: 'g1', label: '1. Item 1' },
	])
})

test('one PGM preset per item, up to the cap, with tally and picture feedbacks', () => {
	for (const [count, expected] of [
		[3, 3],
		[defs.PRESET_CAP + 200, defs.PRESET_CAP],
	]) {
		const { items } = defs.presetItems(catalogue(count), (guid) =>
			guid === 'g2' ? { png: 'PNG', serial: 1 } : undefined,
		)
		const presets = Object.entries(defs.presetDefinitions(items)).filter(([id]) => id.startsWith('item_'))
		assert.equal(presets.length, expected)
		const [, second] = presets[1]
		assert.deepEqual(second.steps[0].down, [{ actionId: 'pgm', options: { item: 'g2' } }])
		const feedbacks = second.feedbacks.map((f) => [f.feedbackId, f.options.item])
		assert.deepEqual(feedbacks, [
			['on_pgm', 'g2'],
			['on_pvw', 'g2'],
			['picture', 'g2'],
		])
		assert.deepEqual([second.previewStyle.png64, presets[0][1].previewStyle], ['PNG', undefined])
	}
})

test('each tally feedback lights for its own status only', async () => {
	const fb = defs.feedbackDefinitions(catalogue(1), () => undefined)
	const cases = [
		[0, false, false],
		[1, true, false],
		[2, false, true],
	]
	for (const [status, pgm, pvw] of cases) {
		const s = catalogue(1)
		s.apply({ type: 'item', ...item(1, { status }) })
		const lit = defs.feedbackDefinitions(s, () => undefined)
		const event = { options: { item: 'g1' } }
		assert.deepEqual([await lit.on_pgm.callback(event, context), await lit.on_pvw.callback(event, context)], [pgm, pvw])
	}
	assert.ok(fb.on_pgm.learn && fb.picture.learn)
})

test("the picture is asked for at the button's size, within 1 to 256", async () => {
	const asked = []
	const fb = defs.feedbackDefinitions(catalogue(1), (guid, size) => (asked.push(size), 'PNG'))
	const cases = [
		[{ width: 72, height: 72 }, 72],
		[{ width: 400, height: 200 }, 256],
		[undefined, 72],
		[{ width: 0.2, height: 0 }, 1],
	]
	for (const [image, size] of cases) {
		const value = await fb.picture.callback({ options: { item: 'g1' }, image }, context)
		assert.deepEqual(value, { png64: 'PNG', pngalignment: 'center:center' })
		assert.equal(asked.pop(), size, JSON.stringify(image))
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
	const cases = [
		['127.0.0.1', true],
		['console.studio', true],
		['::1', true],
		['fe80::1:2', true],
		['::ffff:10.0.0.1', true],
		['[::1]', false],
		['fe80::1%eth0', false],
		['1:2:3:4:5:6:7:8:9', false],
		['host name', false],
		['', false],
	]
	for (const [host, valid] of cases) assert.equal(validHost(host), valid, host)
})
