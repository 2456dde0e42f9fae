'use strict'

// The module against the real console, logged in to the real simulator. Items
// are named by the simulator's generated catalogue ("Headline 02" is row 1).
const { test, before, after } = require('node:test')
const assert = require('node:assert/strict')
const { FakeCompanion, choicesOf } = require('../host.js')
const { live, sim } = require('../live.js')

const PNG = 'iVBORw0KGgo' // base64 of the PNG signature
let companion

function guidOf(name) {
	const choice = choicesOf(companion.actions.get('pgm')).find((c) => c.label.endsWith(`. ${name}`))
	assert.ok(choice, `"${name}" in the item list`)
	return choice.id
}

const until = (check, what, ms = 5000) => companion.waitFor(check, what, live.timeout(ms))
const valueOf = (id) => companion.values.get(id)
const simStatus = async (row) =>
	(await sim('list'))
		.find((l) => l.trim().split(/\s+/)[0] === String(row))
		?.trim()
		.split(/\s+/)[2]

before(async () => {
	if (live.skip) return
	companion = new FakeCompanion()
	await companion.init({ host: '127.0.0.1', port: live.port }, { token: live.token })
	await until(() => companion.status?.status === 'ok', 'the module linked')
	await until(() => companion.variables.total === 12, 'the catalogue')
})

after(() => companion?.stop())

test("the console's catalogue fills the item lists and the presets", { skip: live.skip }, async () => {
	await until(() => companion.presets.filter((p) => p.category === 'Items').length === 12, '12 item presets')
	assert.equal(companion.variables.connected, true)
	const headline = companion.presets.find((p) => p.name === 'Headline 02')
	assert.deepEqual(headline.steps[0].down, [{ actionId: 'pgm', options: { item: guidOf('Headline 02') } }])
})

test('a PGM press turns the item red once the server confirms it', { skip: live.skip }, async () => {
	const guid = guidOf('Headline 02')
	const onPgm = companion.place('on_pgm', { item: guid })
	await until(() => valueOf(onPgm) === false, 'off air at first')
	await companion.press('pgm', { item: guid })
	await until(() => valueOf(onPgm) === true, 'on PGM')
	assert.equal(await simStatus(1), '1', 'the simulator has it on PGM')
	await until(() => typeof companion.variables.last_take_ms === 'number', 'the confirmation time')
	await companion.press('cancel', { item: guid })
	await until(() => valueOf(onPgm) === false, 'off air again')
})

test('the tally follows changes made at the server', { skip: live.skip }, async () => {
	const onPvw = companion.place('on_pvw', { item: guidOf('Weather 03') })
	const onPgm = companion.place('on_pgm', { item: '#3' })
	await sim('status 2 2')
	await until(() => valueOf(onPvw) === true && valueOf(onPgm) === false, 'Weather 03 on PVW')
	await sim('status 2 1')
	await until(() => valueOf(onPvw) === false && valueOf(onPgm) === true, 'Weather 03 on PGM')
	await sim('status 2 0')
	await until(() => valueOf(onPgm) === false, 'Weather 03 off air')
})

test('actions without an item act on the current item, which next and prev move', { skip: live.skip }, async () => {
	const onPvw = companion.place('on_pvw', { item: '' })
	await companion.press('select', { item: guidOf('Clock 05') })
	await until(
		() => companion.variables.current_item === 'Clock 05' && valueOf(onPvw) === false,
		'Clock 05 current, off air',
	)
	await companion.press('pvw', { item: '' })
	await until(() => valueOf(onPvw) === true, 'the current item on PVW')
	await companion.press('next')
	await until(() => companion.variables.current_item === 'Logo 06', 'the next tile current')
	await until(() => valueOf(onPvw) === false, 'the PVW feedback follows the current item')
	await companion.press('prev')
	await companion.press('cancel', { item: '' })
	await until(() => companion.variables.current_item === 'Clock 05' && valueOf(onPvw) === false, 'Clock 05 off air')
})

test('the lock refuses takes until unlocked', { skip: live.skip }, async () => {
	const locked = companion.place('locked')
	await companion.press('lock')
	await until(() => valueOf(locked) === true && companion.variables.locked === true, 'locked')
	await companion.press('pgm', { item: guidOf('Ticker 07') })
	await until(() => companion.logs.some((l) => /pgm refused: locked/.test(l)), 'the refusal logged')
	await companion.press('unlock')
	await until(() => valueOf(locked) === false, 'unlocked')
	assert.equal(await simStatus(6), '0')
})

test('take all off clears every item; GO without cues is refused', { skip: live.skip }, async () => {
	const onAir = [companion.place('on_pgm', { item: '#1' }), companion.place('on_pvw', { item: '#4' })]
	await sim('status 0 1')
	await sim('status 3 2')
	await until(() => onAir.every((id) => valueOf(id) === true), 'two items on air')
	await companion.press('clearall')
	await until(() => onAir.every((id) => valueOf(id) === false), 'all off air')
	await companion.press('go')
	await until(() => companion.logs.some((l) => /go refused: nothing to go/.test(l)), 'GO refused')
})

test(
	"the item's picture comes from the console and is fetched again when it changes",
	{ skip: live.skip },
	async () => {
		const picture = companion.place('picture', { item: guidOf('Scoreboard 04') })
		const first = await until(() => valueOf(picture)?.png64, 'a picture')
		assert.ok(first.startsWith(PNG))
		await sim('image 3')
		const second = await until(() => valueOf(picture)?.png64 !== first && valueOf(picture)?.png64, 'the new picture')
		assert.ok(second.startsWith(PNG))
	},
)

test(
	'renames, additions and removals at the server rebuild the presets, once a burst settles',
	{ skip: live.skip },
	async () => {
		const updates = companion.presetMessages.count
		for (let i = 0; i < 20; i++) await sim(`rename 7 "Renamed ${i}"`)
		await sim('add Breaking')
		await sim('remove 0')
		const names = () => companion.presets.filter((p) => p.category === 'Items').map((p) => p.name)
		// The previews' picture batches may show the new list a moment before
		// the debounced rebuild gives the actions theirs: both are waited for.
		const listed = () => choicesOf(companion.actions.get('pgm')).some((c) => c.label.endsWith('. Breaking'))
		await until(
			() =>
				names().includes('Renamed 19') &&
				names().includes('Breaking') &&
				!names().includes('Lower third 01') &&
				listed(),
			'the presets and the item lists rebuilt',
		)
		assert.equal(names().length, 12)
		assert.ok(
			companion.presetMessages.count - updates <= 4,
			`${companion.presetMessages.count - updates} preset rebuilds for 22 changes`,
		)
	},
)

test('a wrong token is an authentication failure; the right one links again', { skip: live.skip }, async () => {
	await companion.configure({ host: '127.0.0.1', port: live.port }, { token: 'wrong' })
	await until(() => companion.status?.status === 'authentication_failure', 'authentication failure')
	assert.equal(companion.status.message, 'wrong API token')
	assert.equal(companion.variables.current_item, '')
	await companion.configure({ host: '127.0.0.1', port: live.port }, { token: live.token })
	await until(() => companion.status?.status === 'ok' && companion.variables.total === 12, 'linked again')
})

test("the connected feedback follows the console's link to its server", { skip: live.skip }, async () => {
	const connected = companion.place('connected')
	await until(() => valueOf(connected) === true, 'connected')
	await sim('close')
	await until(() => valueOf(connected) === false && companion.variables.connected === false, 'the server gone')
})
