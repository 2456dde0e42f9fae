'use strict'
const test = require('node:test')
const assert = require('node:assert/strict')
const { ConsoleState } = require('../../src/state.js')
const { item } = require('../console.js')

const items = (...ns) => ns.map((n) => item(n))
const stateMsg = (list, extra = {}) => ({ type: 'state', protocol: 2, total: list.length, items: list, ...extra })
const slice = (offset, total, ...ns) => ({ type: 'items', offset, total, items: items(...ns) })

function fed(...messages) {
	const s = new ConsoleState()
	let last
	for (const m of messages) last = s.apply(m)
	return { s, changed: [...last.changed].sort() }
}
const guids = (s) => s.items.map((i) => i.guid)

test('slices build the list, offset 0 starts a new one, and a slice no console sends is refused', () => {
	const cases = [
		['first slice', [stateMsg(items(1, 2), { total: 4 })], ['g1', 'g2'], false, 0],
		['second slice', [stateMsg(items(1, 2), { total: 4 }), slice(2, 4, 3, 4)], ['g1', 'g2', 'g3', 'g4'], true, 0],
		['a new catalogue keeps nothing of the old', [stateMsg(items(1, 2, 3)), slice(0, 3, 9)], ['g9'], false, 0],
		['a hole', [stateMsg(items(1, 2), { total: 9 }), slice(3, 9, 4)], ['g1', 'g2'], false, 1],
		['offset 10^8', [stateMsg(items(1), { total: 9 }), slice(1e8, 1e8 + 1, 2)], ['g1'], false, 1],
		['total over the bound', [stateMsg(items(1), { total: 9 }), slice(1, 100001, 2)], ['g1'], false, 1],
	]
	for (const [name, msgs, list, complete, refused] of cases) {
		const { s } = fed(...msgs)
		assert.deepEqual(guids(s), list, name)
		assert.deepEqual([...s.byGuid.keys()].sort(), [...list].sort(), name)
		assert.deepEqual([s.complete, s.refused], [complete, refused], name)
	}
})

// A console's list under random insertions, removals, moves and renames, and a
// client that had only part of it: the events that touch its part, then the
// rest in slices from where its part ends, leave it with the console's list.
test('insertions, removals and moves keep a partial list right', () => {
	let seed = 7
	const random = (n) => (seed = (seed * 48271) % 2147483647) % n
	for (let round = 0; round < 200; round++) {
		const list = items(...Array.from({ length: 1 + random(30) }, (_, i) => i + 1))
		let held = random(list.length + 1)
		const s = new ConsoleState()
		s.apply(stateMsg(list.slice(0, held), { total: list.length }))
		for (let n = 0, fresh = 100; n < 20; n++) {
			const kind = list.length ? random(4) : 0
			const at = random(list.length) + 1
			if (kind === 0) {
				const p = random(list.length + 1) + 1
				list.splice(p - 1, 0, item(fresh++))
				const msg = { type: 'inserted', position: p, total: list.length, item: list[p - 1] }
				if (p <= held + 1) s.apply(msg, held++)
			} else if (kind === 1) {
				const [gone] = list.splice(at - 1, 1)
				if (at <= held) s.apply({ type: 'removed', position: at, total: list.length, guid: gone.guid }, held--)
			} else if (kind === 2) {
				const to = random(list.length) + 1
				list.splice(to - 1, 0, ...list.splice(at - 1, 1))
				if (at <= held || to <= held) {
					s.apply({ type: 'moved', from: at, to, total: list.length, guid: list[to - 1].guid })
					held += (at > held) - (to > held && at <= held)
				}
			} else {
				list[at - 1] = { ...list[at - 1], name: `Renamed ${n}` }
				if (at <= held) s.apply({ type: 'item', ...list[at - 1] })
			}
		}
		for (let offset = held; offset < list.length; offset += 4) {
			s.apply({ type: 'items', offset, total: list.length, items: list.slice(offset, offset + 4) })
		}
		assert.deepEqual(guids(s), guids({ items: list }), `round ${round}`)
		assert.equal(s.total, list.length)
	}
})

test('an item message reports a rename as a catalogue change and a status as a tally change', () => {
	const cases = [
		[item(1, { status: 2 }), ['status'], 2, 'Item 1'],
		[item(1, { name: 'Renamed' }), ['catalogue'], 0, 'Renamed'],
		[item(1, { status: 1, name: 'Both' }), ['catalogue', 'status'], 1, 'Both'],
		[item(1), [], 0, 'Item 1'],
		[item(3, { status: 2 }), [], 0, ''],
	]
	for (const [msg, changed, status, name] of cases) {
		const { s, changed: got } = fed(stateMsg(items(1), { total: 3 }), { type: 'item', ...msg })
		assert.deepEqual(got, changed, JSON.stringify(msg))
		assert.deepEqual([s.statusOf(msg.guid), s.nameOf(msg.guid)], [status, name])
	}
})

test('picture versions: the console gives them, or a console without them gets some of our own', () => {
	const p1 = { protocol: undefined }
	const cases = [
		['a version', [stateMsg([item(1, { picture: 3 })])], 3],
		['a changed version', [stateMsg([item(1, { picture: 3 })]), { type: 'picture', guid: 'g1', picture: 4 }], 4],
		['none', [stateMsg([item(1, { picture: 0 })])], 0],
		['has one', [stateMsg([item(1, { picture: true })], p1)], 'own1'],
		[
			'kept by an item message',
			[stateMsg([item(1, { picture: true })], p1), { type: 'item', ...item(1, { picture: true }) }],
			'own1',
		],
		['changed', [stateMsg([item(1, { picture: true })], p1), { type: 'picture', guid: 'g1' }], 'own2'],
		['removed', [stateMsg([item(1, { picture: true })], p1), { type: 'item', ...item(1, { picture: false }) }], 0],
	]
	for (const [name, msgs, version] of cases) assert.equal(fed(...msgs).s.pictureOf('g1'), version, name)
})

test('the running order: slices, a changed cue, the next mark, and a whole order from a console of protocol 1', () => {
	const cue = (n, name = `Cue ${n}`) => ({ guid: `g${n}`, name, duration: n })
	const p2 = stateMsg([], { cueTotal: 3, cues: [cue(1)], next: 1 })
	const cases = [
		['first slice', [p2], ['Cue 1'], 'Cue 1'],
		[
			'the rest',
			[p2, { type: 'cues', offset: 1, total: 3, cues: [cue(2), cue(3)], next: 3 }],
			['Cue 1', 'Cue 2', 'Cue 3'],
			'Cue 3',
		],
		['renamed', [p2, { type: 'cue', index: 1, ...cue(1, 'Open') }], ['Open'], 'Open'],
		['next moved', [p2, { type: 'next', next: null }], ['Cue 1'], ''],
		['protocol 1', [stateMsg([]), { type: 'cues', cues: [cue(5), cue(6)], next: 2 }], ['Cue 5', 'Cue 6'], 'Cue 6'],
		['a hole', [p2, { type: 'cues', offset: 2, total: 3, cues: [cue(3)] }], ['Cue 1'], 'Cue 1'],
	]
	for (const [name, msgs, names, next] of cases) {
		const { s } = fed(...msgs)
		assert.deepEqual([s.cues.map((c) => c.name), s.nextCueName], [names, next], name)
	}
})
