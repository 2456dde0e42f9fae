'use strict'
const test = require('node:test')
const assert = require('node:assert/strict')
const { once } = require('node:events')
const { ApiClient } = require('../../src/client.js')
const { FakeConsole } = require('../console.js')

const limit = { timeout: 10000 }

// A client on a fake console; statuses and links are recorded as they come.
async function linked(t, options = {}, consoleOptions = {}) {
	const fake = new FakeConsole(consoleOptions)
	await fake.ready
	const client = new ApiClient({ retryFirstMs: 20, retryMaxMs: 40, ...options })
	const statuses = []
	client.on('status', (level, text) => statuses.push([level, text]))
	t.after(async () => {
		client.stop()
		await fake.stop()
	})
	const link = once(client, 'linked')
	client.start({ host: '127.0.0.1', port: fake.port, token: fake.token, seat: 'Desk\u0007 2' })
	await link
	return { fake, client, statuses }
}

// Waits until the console has seen n authentications.
const auths = (fake, n) =>
	new Promise((resolve) => (fake.auths.length >= n ? resolve() : setTimeout(() => auths(fake, n).then(resolve), 5)))

test('a wrong token stops the client for good; every other close is tried again', limit, async (t) => {
	// prettier-ignore
	const cases = [[4401, false], [1008, true], [1009, true], [1013, true], [4429, true], [1001, true]]
	for (const [code, retried] of cases) {
		const { fake, client, statuses } = await linked(t)
		assert.deepEqual(fake.auths[0], { cmd: 'auth', token: fake.token, id: 0, seat: 'Desk 2' })
		fake.close(code)
		await once(client, 'unlinked')
		if (retried) {
			await once(client, 'linked')
			assert.equal(statuses.at(-2)[0], 'connecting', `${code}`)
		} else {
			// Ten retry periods without a second attempt.
			await new Promise((resolve) => setTimeout(resolve, 400))
			assert.equal(fake.auths.length, 1)
			assert.deepEqual(statuses.at(-1), ['authentication_failure', 'wrong API token'])
		}
	}
})

test('a console that stops answering is noticed and connected to again', limit, async (t) => {
	const { fake, client } = await linked(t, { heartbeatMs: 30 })
	fake.hang()
	await once(client, 'unlinked')
	await auths(fake, 2)
})

test('commands waiting for an answer fail as soon as the link drops', limit, async (t) => {
	const { fake, client } = await linked(t, { commandTimeoutMs: 60000 })
	fake.answer = () => null
	const pending = client.send('pgm', { item: 'g1' })
	await auths(fake, 1)
	fake.close(1001)
	await assert.rejects(pending, /link lost/)
})

test('a message over the payload bound closes the link, which is tried again', limit, async (t) => {
	const { fake, client, statuses } = await linked(t)
	fake.send({ type: 'items', offset: 0, total: 1, pad: 'x'.repeat(9 * 1024 * 1024), items: [] })
	await once(client, 'unlinked')
	await once(client, 'linked')
	assert.ok(statuses.some(([level, text]) => level === 'connection_failure' && /too large/.test(text)))
})
