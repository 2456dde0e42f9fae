'use strict'
const test = require('node:test')
const assert = require('node:assert/strict')
const { ConsoleState } = require('../../src/state.js')
const { item } = require('../console.js')

const items = (...ns) => ns.map((n) => item(n))
const state = (list, extra = {}) => ({ type: 'state', protocol: 2, total: list.length, items: list, ...extra })
const slice = (offset, total, ...ns) => ({ type: 'items', offset, total, items: items(...ns) })
// A console of protocol 1: no protocol, pictures only as true or false.
const old = (...ns) =>
	state(
		ns.map((n) => item(n, { picture: true })),
		{ protocol: undefined },
	)
const cue = (n) => ({ guid: `g${n}`, name: `Cue ${n}`, duration: 0 })
const guids = (list) => list.map((i) => i.guid).join(' ')

test('what a console sends builds the state; what none sends is refused', () => {
	// the messages, then what the state shows (the fields given)
	const cases = [
		[[state(items(1, 2), { total: 4 }), slice(2, 4, 3, 4)], { list: 'g1 g2 g3 g4', refused: 0 }],
		[[state(items(1, 2, 3)), slice(0, 1, 9)], { list: 'g9', refused: 0 }],
		[[state(items(1, 2), { total: 9 }), slice(3, 9, 4)], { list: 'g1 g2', refused: 1 }],
		[[state(items(1), { total: 9 }), slice(1e8, 1e8 + 1, 2)], { list: 'g1', refused: 1 }],
		[[state(items(1), { total: 9 }), slice(1, 100001, 2)], { list: 'g1', refused: 1 }],
		[[state([item(1, { picture: 3 })]), { type: 'picture', guid: 'g1', picture: 4 }], { picture: 4 }],
		[[state([item(1, { picture: 3 })]), { type: 'item', ...item(1, { picture: 5 }) }], { picture: 5 }],
		[[state([item(1, { picture: 3 })]), slice(0, 1, 1)], { picture: 1 }],
		[[old(1), { type: 'item', ...item(1, { picture: true }) }], { picture: 'own1' }],
		[[old(1), { type: 'picture', guid: 'g1' }], { picture: 'own2' }],
		[[old(1), { type: 'item', ...item(1, { picture: false }) }], { picture: 0 }],
		[
			[state([], { cueTotal: 3, cues: [cue(1)], next: 1 }), { type: 'cues', offset: 2, total: 3, cues: [] }],
			{ refused: 1 },
		],
		[[old(), { type: 'cues', cues: [cue(5), cue(6)], next: 2 }], { next: 'Cue 6' }],
	]
	for (const [messages, want] of cases) {
		const s = new ConsoleState()
		for (const msg of messages) s.apply(msg)
		const shown = { list: guids(s.items), refused: s.refused, picture: s.pictureOf('g1'), next: s.nextCueName }
		assert.deepEqual(
			Object.fromEntries(Object.keys(want).map((key) => [key, shown[key]])),
			want,
			JSON.stringify(messages),
		)
		assert.deepEqual(guids([...s.byGuid.values()]), guids(s.items))
	}
})

// The console's list under random insertions, removals and moves, told as the
// console tells a client that holds only its start: the changes within that
// part (a move across its end as a removal or an insertion), then the slices
// from where the part ends. The client ends with the console's list.
test("insertions, removals and moves keep a partial list the start of the console's", () => {
	let seed = 7
	const random = (n) => (seed = (seed * 48271) % 2147483647) % n
	for (let round = 0; round < 200; round++) {
		const list = items(...Array.from({ length: 1 + random(30) }, (_, i) => i + 1))
		let held = random(list.length + 1)
		const s = new ConsoleState()
		s.apply(state(list.slice(0, held), { total: list.length }))
		const tell = (type, fields) => s.apply({ type, total: list.length, ...fields })
		const inserted = (at) => (held++, tell('inserted', { position: at + 1, item: list[at] }))
		const removed = (at, guid) => (held--, tell('removed', { position: at + 1, guid }))
		for (let n = 0, fresh = 100; n < 20; n++) {
			const kind = list.length ? random(3) : 0
			const at = random(list.length + (kind === 0))
			if (kind === 0) {
				list.splice(at, 0, item(fresh++))
				if (at <= held) inserted(at)
			} else if (kind === 1) {
				const [gone] = list.splice(at, 1)
				if (at < held) removed(at, gone.guid)
			} else {
				const to = random(list.length)
				const [moved] = list.splice(at, 1)
				list.splice(to, 0, moved)
				if (at < held && to < held) tell('moved', { from: at + 1, to: to + 1, guid: moved.guid })
				else if (at < held) removed(at, moved.guid)
				else if (to < held) inserted(to)
			}
		}
		for (let offset = held; offset < list.length; offset += 4)
			s.apply({ type: 'items', offset, total: list.length, items: list.slice(offset, offset + 4) })
		assert.deepEqual([guids(s.items), s.total], [guids(list), list.length], `round ${round}`)
	}
})
