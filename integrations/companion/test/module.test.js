'use strict'

// The module as Companion runs it, against the stand-in console.
const test = require('node:test')
const assert = require('node:assert/strict')
const { FakeCompanion, choicesOf } = require('./host.js')
const { FakeConsole, item } = require('./console.js')

const limit = { timeout: 10000 }

async function started(t, { consoleOptions, config = {}, secrets, init } = {}) {
	const fake = new FakeConsole(consoleOptions)
	await fake.ready
	const companion = new FakeCompanion()
	t.after(async () => {
		await companion.stop()
		await fake.stop()
	})
	const where = { host: '127.0.0.1', port: fake.port, ...config }
	const answer = await companion.init(where, secrets ?? { token: fake.token }, init)
	await companion.waitFor(() => companion.status?.status === 'ok', 'linked')
	return { fake, companion, answer }
}

test('the tally at the console lights the buttons, each feedback for its own status', limit, async (t) => {
	const { fake, companion } = await started(t)
	const pgm = companion.place('on_pgm', { item: 'g2' })
	const pvw = companion.place('on_pvw', { item: '#2' })
	const lit = (a, b) => () => companion.values.get(pgm) === a && companion.values.get(pvw) === b
	await companion.waitFor(lit(false, false), 'off air')
	// prettier-ignore
	for (const [status, onPgm, onPvw] of [[1, true, false], [2, false, true], [0, false, false]]) {
		fake.send({ type: 'item', ...item(2, { status }) })
		await companion.waitFor(lit(onPgm, onPvw), `status ${status}`)
	}
})

test('a token left in the plain config moves to the secrets; the seat is the connection label', limit, async (t) => {
	const token = 'secret-token-0123'
	const init = { label: 'Studio A', lastUpgradeIndex: -1 }
	const { fake, answer } = await started(t, { config: { token }, secrets: {}, init })
	assert.deepEqual(['token' in answer.updatedConfig, answer.updatedSecrets.token], [false, token])
	assert.deepEqual(fake.auths, [{ cmd: 'auth', token, seat: 'Studio A', id: 0 }])
})

test('an item option takes variables, and Learn takes the current item', limit, async (t) => {
	const { fake, companion } = await started(t)
	companion.customVariables['internal:custom_item'] = 'Item 3'
	await companion.press('pgm', { item: '$(internal:custom_item)' })
	await companion.press('pvw', { item: '#$(internal:custom_row)2' })
	assert.deepEqual(
		fake.commands.map((c) => `${c.cmd} ${c.item}`),
		['pgm Item 3', 'pvw 2'],
	)
	assert.deepEqual(await companion.learn('cancel', { item: '' }), { item: 'g1' })
	assert.deepEqual(await companion.learn('on_pgm', { item: 'g3' }, true), { item: 'g1' })
})

test('a changed picture is fetched again; the catalogue follows insertions', limit, async (t) => {
	const { fake, companion } = await started(t)
	const picture = companion.place('picture', { item: 'g1' })
	await companion.waitFor(() => companion.values.get(picture)?.png64 === 'g1@72v1', 'the picture')
	fake.items[0].picture = 2
	fake.send({ type: 'picture', guid: 'g1', position: 1, picture: 2 })
	await companion.waitFor(() => companion.values.get(picture)?.png64 === 'g1@72v2', 'the new picture')
	fake.send({ type: 'inserted', position: 1, total: 4, item: item(9) })
	const labels = () => choicesOf(companion.actions.get('pgm')).map((c) => c.label)
	await companion.waitFor(() => labels()[1] === '1. Item 9', 'the inserted item listed first')
})

test('presets go to Companion only when they change', limit, async (t) => {
	const items = Array.from({ length: 520 }, (_, i) => item(i + 1, { picture: 0 }))
	const { fake, companion } = await started(t, { consoleOptions: { items } })
	const labels = () => choicesOf(companion.feedbacks.get('on_pgm')).map((c) => c.label)
	const itemPresets = () => companion.presets.filter((p) => p.category === 'Items')
	await companion.waitFor(() => labels().length === 521 && itemPresets().length === 500, 'the lists and presets')
	const sent = companion.presetMessages.count
	// Past the presets' 500 items: the item lists change, the presets do not.
	fake.send({ type: 'item', ...item(510, { name: 'Renamed', picture: 0 }) })
	await companion.waitFor(() => labels()[510] === '510. Renamed', 'the renamed item listed')
	fake.send({ type: 'item', ...item(5, { name: 'Renamed', picture: 0 }) })
	await companion.waitFor(() => itemPresets().some((p) => p.name === 'Renamed'), 'the renamed preset')
	assert.equal(companion.presetMessages.count, sent + 1)
})
