'use strict'
const test = require('node:test')
const assert = require('node:assert/strict')
const { PictureCache } = require('../../src/pictures.js')

const tick = (ms = 0) => new Promise((r) => setTimeout(r, ms))

// A cache whose fetches answer when told to; it remembers what it was asked.
function cache(options = {}) {
	const calls = []
	const ready = []
	const fetch = (guid, size) => new Promise((resolve, reject) => calls.push({ guid, size, resolve, reject }))
	return { calls, ready, cache: new PictureCache(fetch, (guid) => ready.push(guid), { perSecond: 1000, ...options }) }
}

test('a picture is fetched once per version; an item without one is remembered as such', async () => {
	const { calls, ready, cache: pictures } = cache()
	const cases = [
		['g1', 1, { png: 'A' }, 'A', 1],
		['g1', 1, null, 'A', 1],
		['g1', 2, { png: 'B' }, 'B', 2],
		['g2', 5, { missing: true }, null, 3],
	]
	for (const [guid, version, answer, cached, fetches] of cases) {
		pictures.get(guid, 72, version)
		pictures.get(guid, 72, version)
		await tick()
		if (answer) calls.at(-1).resolve(answer)
		await tick()
		assert.deepEqual([pictures.get(guid, 72, version), calls.length], [cached, fetches], `${guid} v${version}`)
	}
	assert.deepEqual(ready, ['g1', 'g1', 'g2'])
})

test('an answer fetched for an older version is not taken for the newer', async () => {
	const { calls, cache: pictures } = cache()
	pictures.get('g1', 72, 1)
	await tick()
	pictures.get('g1', 72, 2)
	calls[0].resolve({ png: 'old' })
	await tick()
	assert.equal(pictures.get('g1', 72, 2), undefined)
	await tick()
	assert.equal(calls.length, 2, 'fetched again')
})

test('fetches run a few at a time and wait their turn', async () => {
	const { calls, cache: pictures } = cache({ concurrency: 2, perSecond: 1 })
	for (let i = 0; i < 3; i++) pictures.get(`g${i}`, 72, 1)
	await tick()
	assert.equal(calls.length, 1, 'one start a second')
	pictures.clear()
	const fast = cache({ concurrency: 2 })
	for (let i = 0; i < 5; i++) fast.cache.get(`g${i}`, 72, 1)
	await tick(50)
	assert.equal(fast.calls.length, 2, 'two in flight')
	fast.calls[0].resolve({ png: 'x' })
	await tick(50)
	assert.equal(fast.calls.length, 3)
	fast.cache.clear()
})

test('a failed fetch is asked again after a while; a cleared cache drops late answers', async () => {
	const { calls, ready, cache: pictures } = cache({ retryMs: 20 })
	pictures.get('g1', 72, 1)
	await tick()
	calls[0].reject(new Error('rate limited'))
	await tick(40)
	assert.deepEqual([ready, pictures.get('g1', 72, 1)], [['g1'], undefined])
	await tick()
	assert.equal(calls.length, 2)
	pictures.clear()
	calls[1].resolve({ png: 'late' })
	await tick()
	assert.deepEqual([pictures.size, ready.length], [0, 1])
})

test('the pictures used longest ago go first when the cache is full', async () => {
	const pictures = new PictureCache(
		async (guid) => ({ png: guid }),
		() => {},
		{ perSecond: 1000, max: 2 },
	)
	for (const guid of ['a', 'b', 'a', 'c']) {
		pictures.get(guid, 72, 1)
		await tick(10)
	}
	assert.deepEqual(
		['a', 'b', 'c'].map((g) => pictures.peek(g, 72, 1)?.png),
		['a', undefined, 'c'],
	)
})
