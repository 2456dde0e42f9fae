'use strict'
const test = require('node:test')
const assert = require('node:assert/strict')
const { PictureCache } = require('../../src/pictures.js')

const tick = (ms = 0) => new Promise((r) => setTimeout(r, ms))

// A cache whose fetches answer when told to; it remembers what it was asked.
function cache(options = {}) {
	const calls = []
	const ready = []
	const fetch = (guid) => new Promise((resolve, reject) => calls.push({ guid, resolve, reject }))
	const pictures = new PictureCache(fetch, (guid) => ready.push(guid), { perSecond: 1000, ...options })
	return { calls, ready, pictures }
}

test('a picture is fetched once per version; an answer for an older one is not taken for the newer', async () => {
	const { calls, ready, pictures } = cache()
	// guid, version asked for, the answer, what the cache then gives, fetches so far
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
	assert.equal(calls.length, 5, 'fetched again for the newer')
})

test('fetches run a few at a time, failed ones again later; the pictures used last are kept', async () => {
	const { calls, ready, pictures } = cache({ concurrency: 2, max: 2, retryMs: 20 })
	for (const guid of ['a', 'b', 'c']) pictures.get(guid, 72, 1)
	await tick(20)
	assert.equal(calls.length, 2, 'two at a time')
	calls[0].resolve({ png: 'a' })
	calls[1].reject(new Error('rate limited'))
	await tick(40)
	assert.deepEqual([calls.length, ready], [3, ['a', 'b']], 'b asked again once wanted')
	calls[2].resolve({ png: 'c' })
	await tick()
	pictures.get('a', 72, 1)
	pictures.get('b', 72, 1)
	await tick()
	calls[3].resolve({ png: 'b' })
	await tick()
	assert.deepEqual(
		['a', 'b', 'c'].map((g) => pictures.peek(g, 72, 1)?.png),
		['a', 'b', undefined],
	)
	pictures.get('d', 72, 1)
	await tick()
	pictures.clear()
	calls.at(-1).resolve({ png: 'late' })
	await tick()
	assert.equal(pictures.size, 0, 'an answer after a clear is dropped')
})
