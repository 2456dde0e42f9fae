'use strict'

// The module as Companion runs it, against the stand-in console.
const test = require('node:test')
const assert = require('node:assert/strict')
const { FakeCompanion, choicesOf } = require('./host.js')
const { FakeConsole, item } = require('./console.js')

const limit = { timeout: 10000 }

async function started(t, { items, config = {}, secrets, init } = {}) {
	const fake = new FakeConsole(items && { items })
	await fake.ready
	const companion = new FakeCompanion()
	t.after(async () => {
		await companion.stop()
		await fake.stop()
	})
	const answer = await companion.init(
		{ host: '127.0.0.1', port: fake.port, ...config },
		secrets ?? { token: fake.token },
		init,
	)
	await companion.waitFor(() => companion.status?.status === 'ok', 'linked')
	return { fake, companion, answer }
}

test('the tally at the console lights the buttons, each feedback for its own status', limit, async (t) => {
	const { fake, companion } = await started(t)
	const pgm = companion.place('on_pgm', { item: 'g2' })
	const pvw = companion.place('on_pvw', { item: '#2' })
	// prettier-ignore
	for (const [status, onPgm, onPvw] of [[0, false, false], [1, true, false], [2, false, true], [0, false, false]]) {
		fake.send({ type: 'item', ...item(2, { status }) })
		const lit = () => companion.values.get(pgm) === onPgm && companion.values.get(pvw) === onPvw
		await companion.waitFor(lit, `status ${status}`)
	}
})

test(
	'the token moves to the secrets; options take variables, names go as guids, Learn takes the current item',
	limit,
	async (t) => {
		const token = 'secret-token-0123'
		const init = { label: 'Studio A', lastUpgradeIndex: -1 }
		const { fake, companion, answer } = await started(t, { config: { token }, secrets: {}, init })
		assert.deepEqual(['token' in answer.updatedConfig, answer.updatedSecrets.token], [false, token])
		assert.deepEqual(fake.auths, [{ cmd: 'auth', token, seat: 'Studio A', id: 0 }])
		companion.customVariables['internal:custom_item'] = 'Item 3'
		// prettier-ignore
		for (const item of ['$(internal:custom_item)', '#$(internal:custom_row)2', 'Not listed', '']) await companion.press('pgm', { item })
		assert.deepEqual(
			fake.commands.map((c) => c.item),
			['g3', 2, 'Not listed', undefined],
		)
		assert.deepEqual(await companion.learn('cancel', { item: '' }), { item: 'g1' })
		assert.deepEqual(await companion.learn('on_pgm', { item: 'g3' }, true), { item: 'g1' })
	},
)

test("a picture is fetched at the button's size, and again for a new version or a new catalogue", limit, async (t) => {
	const { fake, companion } = await started(t)
	const picture = companion.place('picture', { item: 'g1' }, { width: 400, height: 200 })
	const shows = (png) => companion.waitFor(() => companion.values.get(picture)?.png64 === png, png)
	const preview = (png) => () => companion.presets?.find((p) => p.name === 'Item 1')?.previewStyle?.png64 === png
	await shows('g1@256v1')
	// Once the presets have their pictures, nothing else would redraw the button.
	await companion.waitFor(preview('g1@72v1'), 'the preset with its picture')
	fake.items[0].picture = 2
	fake.send({ type: 'picture', guid: 'g1', position: 1, picture: 2 })
	await shows('g1@256v2')
	await companion.waitFor(preview('g1@72v2'), 'the preset with the new picture')
	fake.answer = () => ({ ok: true, png: 'again' })
	fake.send({ type: 'items', offset: 0, total: 1, items: [item(1, { picture: 2 })] })
	await shows('again')
})

test('item lists and presets are capped, and presets go to Companion only when they change', limit, async (t) => {
	const items = Array.from({ length: 520 }, (_, i) => item(i + 1, { picture: 0 }))
	const { fake, companion } = await started(t, { items })
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
