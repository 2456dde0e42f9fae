'use strict'
const test = require('node:test')
const assert = require('node:assert/strict')
const { once } = require('node:events')
const { ApiClient } = require('../../src/client.js')
const { validHost } = require('../../src/config.js')
const { FakeConsole } = require('../console.js')

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms))
// A promise that has not settled within ms fails as "still waiting".
const within = (promise, ms) =>
	Promise.race([promise, sleep(ms).then(() => Promise.reject(new Error('still waiting')))])

test('a wrong token stops the client; any other end of the link is tried again, failing what waits', async (t) => {
	// what ends the link, whether the client tries again, and what it says
	const cases = [
		['wrong token', (fake) => fake.close(4401), false, /^wrong API token$/],
		['auth first', (fake) => fake.close(1008), true, /authentication first/],
		['pushed out', (fake) => fake.close(1013), true, /try again later/],
		['too many', (fake) => fake.close(4429), true, /too many/],
		['going away', (fake) => fake.close(1001), true, /closed \(1001\)/],
		['hung', (fake) => fake.hang(), true, /retrying/],
		['oversized', (fake) => fake.send({ type: 'items', pad: 'x'.repeat(9 << 20) }), true, /too large/],
	]
	for (const [what, end, retried, said] of cases) {
		const fake = new FakeConsole()
		const client = new ApiClient({ retryFirstMs: 20, retryMaxMs: 40, heartbeatMs: 200, commandTimeoutMs: 60000 })
		t.after(() => fake.stop())
		t.after(() => client.stop())
		await fake.ready
		client.start({ host: '127.0.0.1', port: fake.port, token: fake.token, seat: 'Desk\u0007 2' })
		await once(client, 'linked')
		assert.deepEqual(fake.auths, [{ cmd: 'auth', token: fake.token, id: 0, seat: 'Desk 2' }])
		fake.answer = () => null
		const pending = client.send('pgm', { item: 'g1' })
		const status = once(client, 'status')
		end(fake)
		await assert.rejects(within(pending, 5000), /link lost/, what)
		const [level, text] = await status
		assert.deepEqual([level, said.test(text)], [retried ? 'connection_failure' : 'authentication_failure', true], what)
		if (retried) await once(client, 'linked')
		else await sleep(400) // ten retry periods
		assert.equal(fake.auths.length, retried ? 2 : 1, what)
	}
})

test('the console address is a host name, IPv4 or IPv6 address, as the client can connect to', () => {
	const valid = ['127.0.0.1', 'console.studio', '::1', 'fe80::1:2', '::ffff:10.0.0.1', '1:2:3:4:5:6:7:8']
	const invalid = ['[::1]', 'fe80::1%eth0', '1:2:3:4:5:6:7:8:9', '1::2::3', 'host name', '']
	assert.deepEqual([valid.filter(validHost), invalid.filter(validHost)], [valid, []])
})
