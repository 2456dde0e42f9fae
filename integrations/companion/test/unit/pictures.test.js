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
	return {
		calls,
		ready,
		pictures: new PictureCache(fetch, (guid) => ready.push(guid), { perSecond: 1000, ...options }),
	}
}

test('a picture is fetched once per version, and an answer for an older version is not taken for the newer', async () => {
	const { calls, ready, pictures } = cache()
	// guid, version asked, answer, what the cache then gives, fetches so far
	// prettier-ignore
	const cases = [['g1', 1, { png: 'A' }, 'A', 1], ['g1', 1, null, 'A', 1], ['g1', 2, { png: 'B' }, 'B', 2], ['g2', 5, { missing: true }, null, 3]]
	for (const [guid, version, answer, cached, fetches] of cases) {
		pictures.get(guid, 72, version)
		pictures.get(guid, 72, version)
		await tick()
		if (answer) calls.at(-1).resolve(answer)
		await tick()
		assert.deepEqual([pictures.get(guid, 72, version), calls.length], [cached, fetches], `${guid} v${version}`)
	}
	assert.deepEqual(ready, ['g1', 'g1', 'g2'])
	pictures.get('g3', 72, 1)
	await tick()
	pictures.get('g3', 72, 2)
	calls.at(-1).resolve({ png: 'old' })
	await tick()
	assert.deepEqual([pictures.get('g3', 72, 2), pictures.peek('g3', 72)?.png], [undefined, 'old'])
	await tick()
	assert.equal(calls.length, 5, 'fetched again')
})

test('fetches run a few at a time and wait their turn', async () => {
	const slow = cache({ concurrency: 2, perSecond: 1 })
	for (let i = 0; i < 3; i++) slow.pictures.get(`g${i}`, 72, 1)
	await tick()
	assert.equal(slow.calls.length, 1, 'one start a second')
	slow.pictures.clear()
	const { calls, pictures } = cache({ concurrency: 2 })
	for (let i = 0; i < 5; i++) pictures.get(`g${i}`, 72, 1)
	await tick(50)
	assert.equal(calls.length, 2, 'two in flight')
	calls[0].resolve({ png: 'x' })
	await tick(50)
	assert.equal(calls.length, 3)
	pictures.clear()
})

test('a failed fetch is asked again after a while; a cleared cache drops late answers', async () => {
	const { calls, ready, pictures } = cache({ retryMs: 20 })
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
