'use strict'
const test = require('node:test')
const assert = require('node:assert/strict')
const { ConsoleState } = require('../../src/state.js')

const item = (n, status = 0, name = `Item ${n}`) => ({ guid: `g${n}`, name, position: n, status })
const stateMsg = (items, extra = {}) => ({ type: 'state', connected: true, server: 'sim:19999', locked: false, current: null, total: items.length, items, cues: [], next: null, ...extra })

function fed(...messages) {
	const s = new ConsoleState()
	let last
	for (const m of messages) last = s.apply(m)
	return { s, changed: last ? [...last.changed].sort() : [], last }
}

test('the catalogue is whole once its slices reach the total; offset 0 starts afresh', () => {
	const cases = [
		{ name: 'first slice only', msgs: [stateMsg([item(1), item(2)], { total: 4 })], guids: ['g1', 'g2'], complete: false },
		{ name: 'second slice', msgs: [stateMsg([item(1), item(2)], { total: 4 }), { type: 'items', offset: 2, total: 4, items: [item(3), item(4)] }], guids: ['g1', 'g2', 'g3', 'g4'], complete: true },
		{ name: 'replaced', msgs: [stateMsg([item(1), item(2)]), { type: 'items', offset: 0, total: 1, items: [item(9)] }], guids: ['g9'], complete: true },
		{ name: 'shrunk by total', msgs: [stateMsg([item(1), item(2), item(3)]), { type: 'items', offset: 0, total: 2, items: [item(1), item(2)] }], guids: ['g1', 'g2'], complete: true },
	]
	for (const c of cases) {
		const { s } = fed(...c.msgs)
		assert.deepEqual(s.items.map((i) => i.guid), c.guids, c.name)
		assert.deepEqual([...s.byGuid.keys()].sort(), [...c.guids].sort(), c.name)
		assert.equal(s.complete, c.complete, c.name)
	}
})

test('an item message reports a rename as a catalogue change and a status as a tally change', () => {
	const cases = [
		{ msg: { type: 'item', ...item(1, 2) }, changed: ['status'], status: 2, name: 'Item 1' },
		{ msg: { type: 'item', ...item(1, 0, 'Renamed') }, changed: ['catalogue'], status: 0, name: 'Renamed' },
		{ msg: { type: 'item', ...item(1, 1, 'Both') }, changed: ['catalogue', 'status'], status: 1, name: 'Both' },
		{ msg: { type: 'item', ...item(1) }, changed: [], status: 0, name: 'Item 1' },
	]
	for (const c of cases) {
		const { s, changed } = fed(stateMsg([item(1)]), c.msg)
		assert.deepEqual(changed, c.changed, JSON.stringify(c.msg))
		assert.equal(s.statusOf('g1'), c.status)
		assert.equal(s.nameOf('g1'), c.name)
	}
})

test('an item past the slices received so far is ignored', () => {
	const { s, changed } = fed(stateMsg([item(1)], { total: 3 }), { type: 'item', ...item(3, 2) })
	assert.deepEqual(changed, [])
	assert.equal(s.byGuid.has('g3'), false)
})

test('the next cue is named from its 1-based number', () => {
	const cues = [{ guid: 'g1', name: 'Open', duration: 0 }, { guid: 'g2', name: 'Close', duration: 5 }]
	const cases = [[null, ''], [1, 'Open'], [2, 'Close'], [3, ''], [0, '']]
	for (const [next, name] of cases) {
		const { s } = fed(stateMsg([]), { type: 'cues', cues, next })
		assert.equal(s.nextCueName, name, `next ${next}`)
	}
})
