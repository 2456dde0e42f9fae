'use strict'
const test = require('node:test')
const assert = require('node:assert/strict')
const { PictureCache } = require('../../src/pictures.js')

const tick = (ms = 0) => new Promise((r) => setTimeout(r, ms))

// A fetch that answers when told to, and remembers what it was asked.
function controlledFetch() {
	const calls = []
	const fetch = (guid, size) => new Promise((resolve, reject) => calls.push({ guid, size, resolve, reject }))
	return { calls, fetch }
}

test('a picture is fetched once, then served from the cache; an item without one is remembered', async () => {
	const { calls, fetch } = controlledFetch()
	const ready = []
	const cache = new PictureCache(fetch, (guid) => ready.push(guid), { perSecond: 1000 })
	const cases = [['g1', { png: 'AAA' }, 'AAA'], ['g2', { missing: true }, null]]
	for (const [guid, answer, cached] of cases) {
		assert.equal(cache.get(guid, 72), undefined)
		assert.equal(cache.get(guid, 72), undefined)
		await tick()
		assert.equal(calls.filter((c) => c.guid === guid).length, 1, guid)
		calls.find((c) => c.guid === guid).resolve(answer)
		await tick()
		assert.equal(cache.get(guid, 72), cached, guid)
	}
	assert.deepEqual(ready, ['g1', 'g2'])
})

test('fetches run a few at a time and no faster than the rate', async () => {
	const { calls, fetch } = controlledFetch()
	const cache = new PictureCache(fetch, () => {}, { concurrency: 2, perSecond: 20 })
	for (let i = 0; i < 5; i++) cache.get(`g${i}`, 72)
	await tick(130)
	assert.equal(calls.length, 2, 'two in flight')
	calls[0].resolve({ png: 'x' })
	calls[1].resolve({ png: 'x' })
	const started = Date.now()
	await tick(30)
	assert.equal(calls.length, 3, 'the next waits its turn: one start per 50 ms')
	await tick(60)
	assert.equal(calls.length, 4)
	assert.ok(Date.now() - started >= 80)
	cache.clear()
})

test('a failed fetch is not cached; the item is asked for again after a while', async () => {
	const { calls, fetch } = controlledFetch()
	const ready = []
	const cache = new PictureCache(fetch, (guid) => ready.push(guid), { perSecond: 1000, retryMs: 20 })
	cache.get('g1', 72)
	await tick()
	calls[0].reject(new Error('rate limited'))
	await tick(40)
	assert.deepEqual(ready, ['g1'])
	assert.equal(cache.get('g1', 72), undefined)
	await tick()
	assert.equal(calls.length, 2)
})

test('a changed picture is dropped at every size; the oldest go first when full', async () => {
	const cache = new PictureCache(async (guid, size) => ({ png: `${guid}@${size}` }), () => {}, { perSecond: 1000, max: 3 })
	for (const [guid, size] of [['a', 72], ['a', 144], ['b', 72]]) cache.get(guid, size)
	await tick(20)
	cache.invalidate('a')
	assert.deepEqual([cache.peek('a', 72), cache.peek('a', 144), cache.peek('b', 72)], [undefined, undefined, 'b@72'])
	for (const guid of ['c', 'd', 'e']) cache.get(guid, 72)
	await tick(20)
	assert.equal(cache.size, 3)
	assert.equal(cache.peek('b', 72), undefined)
})

test('answers that arrive after a clear are thrown away', async () => {
	const { calls, fetch } = controlledFetch()
	const ready = []
	const cache = new PictureCache(fetch, (guid) => ready.push(guid), { perSecond: 1000 })
	cache.get('g1', 72)
	await tick()
	cache.clear()
	calls[0].resolve({ png: 'old' })
	await tick()
	assert.deepEqual([cache.peek('g1', 72), ready.length], [undefined, 0])
})

test('an answer fetched before the picture changed is not kept', async () => {
	const { calls, fetch } = controlledFetch()
	const cache = new PictureCache(fetch, () => {}, { perSecond: 1000 })
	cache.get('g1', 72)
	await tick()
	cache.invalidate('g1')
	calls[0].resolve({ png: 'old' })
	await tick()
	assert.equal(cache.get('g1', 72), undefined)
	await tick()
	assert.equal(calls.length, 2, 'fetched again')
})
