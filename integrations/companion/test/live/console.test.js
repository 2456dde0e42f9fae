'use strict'

// The module against the real console, logged in to the real simulator. Items
// are named by the simulator's generated catalogue ("Headline 02" is row 1);
// the console's running order holds 600 cues over them in turn, the 550th next.
const { test, before, after } = require('node:test')
const assert = require('node:assert/strict')
const fs = require('node:fs')
const WebSocket = require('ws')
const { FakeCompanion, choicesOf } = require('../host.js')
const { live, sim } = require('../live.js')

const PNG = 'iVBORw0KGgo' // base64 of the PNG signature
const WRONG = 'a-wrong-token-of-some-length'
const SEAT = 'Desk 导播 2'
const config = { host: '127.0.0.1', port: live.port, seat: SEAT }
const skip = { skip: live.skip }
let companion

const until = (check, what, ms = 5000) => companion.waitFor(check, what, live.timeout(ms))
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms))
const valueOf = (id) => companion.values.get(id)
const logged = (pattern) => companion.logs.some((l) => pattern.test(l))
const statusesSince = (n, status) => companion.statuses.slice(n).filter((s) => s.status === status)
// The simulator's list: { guid, status, name } by row.
const rows = async () =>
	(await sim('list')).slice(0, -1).map((line) => {
		const [, guid, status, name] = /^\s*\d+ (\S+) (\d) ?(.*)$/.exec(line)
		return { guid, status: Number(status), name }
	})

function guidOf(name) {
	const choice = choicesOf(companion.actions.get('pgm')).find((c) => c.label.endsWith(`. ${name}`))
	assert.ok(choice, `"${name}" in the item list`)
	return choice.id
}

// Another client of the console's API: closed resolves with its close code.
function client(token) {
	const socket = new WebSocket(`ws://127.0.0.1:${live.port}/`)
	const closed = new Promise((resolve) => socket.on('close', resolve))
	socket.on('error', () => {})
	if (token) socket.on('open', () => socket.send(JSON.stringify({ cmd: 'auth', token })))
	const linked = new Promise((resolve) => socket.once('message', resolve))
	return { socket, closed, linked: Promise.race([linked.then(() => true), closed.then(() => false)]) }
}

before(async () => {
	if (live.skip) return
	companion = new FakeCompanion()
	await companion.init(config, { token: live.token })
	await until(() => companion.status?.status === 'ok', 'the module linked')
	await until(() => companion.variables.total === 12, 'the catalogue')
})

after(() => companion?.stop())

test('the catalogue fills the item lists and presets; the next cue comes in the second cue slice', skip, async () => {
	assert.ok(logged(/Linked to the console \(protocol 2, control\)/), companion.logs.join('\n'))
	await until(() => companion.presets.filter((p) => p.category === 'Items').length === 12, '12 item presets')
	const headline = companion.presets.find((p) => p.name === 'Headline 02')
	assert.deepEqual(headline.steps[0].down, [{ actionId: 'pgm', options: { item: guidOf('Headline 02') } }])
	const cue550 = (await rows())[549 % 12].name
	await until(() => companion.variables.next_cue === cue550, `the next cue ${cue550}`)
})

test("a PGM press turns the item red once the server confirms it, logged in the seat's name", skip, async () => {
	const guid = guidOf('Headline 02')
	const onPgm = companion.place('on_pgm', { item: guid })
	await until(() => valueOf(onPgm) === false, 'off air at first')
	await companion.press('pgm', { item: guid })
	await until(() => valueOf(onPgm) === true, 'on PGM')
	assert.equal((await rows())[1].status, 1, 'the simulator has it on PGM')
	assert.match(fs.readFileSync(live.log, 'utf8'), new RegExp(`远程接口（${SEAT}）:发布"Headline 02"到PGM`))
	await until(() => typeof companion.variables.last_take_ms === 'number', 'the confirmation time')
	await companion.press('cancel', { item: guid })
	await until(() => valueOf(onPgm) === false, 'off air again')
})

test('the tally follows changes made at the server', skip, async () => {
	const onPvw = companion.place('on_pvw', { item: guidOf('Weather 03') })
	const onPgm = companion.place('on_pgm', { item: '#3' })
	await sim('status 2 2')
	await until(() => valueOf(onPvw) === true && valueOf(onPgm) === false, 'Weather 03 on PVW')
	await sim('status 2 1')
	await until(() => valueOf(onPvw) === false && valueOf(onPgm) === true, 'Weather 03 on PGM')
	await sim('status 2 0')
	await until(() => valueOf(onPgm) === false, 'Weather 03 off air')
})

test('actions without an item act on the current item, which next and prev move', skip, async () => {
	const onPvw = companion.place('on_pvw', { item: '' })
	await companion.press('select', { item: guidOf('Clock 05') })
	const clock = () => companion.variables.current_item === 'Clock 05'
	await until(() => clock() && valueOf(onPvw) === false, 'Clock 05 current, off air')
	await companion.press('pvw', { item: '' })
	await until(() => valueOf(onPvw) === true, 'the current item on PVW')
	await companion.press('next')
	await until(() => companion.variables.current_item === 'Logo 06', 'the next tile current')
	await until(() => valueOf(onPvw) === false, 'the PVW feedback follows the current item')
	await companion.press('prev')
	await companion.press('cancel', { item: '' })
	await until(() => clock() && valueOf(onPvw) === false, 'Clock 05 off air')
})

test('the lock refuses takes until unlocked', skip, async () => {
	const locked = companion.place('locked')
	await companion.press('lock')
	await until(() => valueOf(locked) === true && companion.variables.locked === true, 'locked')
	await companion.press('pgm', { item: guidOf('Ticker 07') })
	await until(() => logged(/pgm refused: locked/), 'the refusal logged')
	await companion.press('unlock')
	await until(() => valueOf(locked) === false, 'unlocked')
	assert.equal((await rows())[6].status, 0)
})

test('GO takes the next cue and the next cue follows; take all off clears every item', skip, async () => {
	const names = (await rows()).map((r) => r.name)
	await companion.press('go')
	await until(() => companion.variables.next_cue === names[550 % 12], 'the next mark moved on')
	assert.equal((await rows())[549 % 12].status, 1, 'the 550th cue on PGM')
	await sim(`rename ${550 % 12} "Cued and renamed"`)
	await until(() => companion.variables.next_cue === 'Cued and renamed', 'the renamed cue')
	const onAir = [companion.place('on_pgm', { item: '#1' }), companion.place('on_pvw', { item: '#4' })]
	await sim('status 0 1')
	await sim('status 3 2')
	await until(() => onAir.every((id) => valueOf(id) === true), 'two items on air')
	await companion.press('clearall')
	await until(() => onAir.every((id) => valueOf(id) === false), 'all off air')
	assert.deepEqual(
		(await rows()).filter((r) => r.status),
		[],
	)
})

test("the item's picture comes from the console, and a change reaches a module that lags", skip, async () => {
	const picture = companion.place('picture', { item: guidOf('Scoreboard 04') })
	const first = await until(() => valueOf(picture)?.png64, 'a picture')
	assert.ok(first.startsWith(PNG))
	companion.pause()
	try {
		await sim('image 3')
		await sleep(live.timeout(1000))
	} finally {
		companion.pause(false)
	}
	const second = await until(() => valueOf(picture)?.png64 !== first && valueOf(picture)?.png64, 'the new picture')
	assert.ok(second.startsWith(PNG))
})

test(
	"changes at the server keep the list the server's, without the catalogue sent again; presets rebuilt once a burst settles",
	skip,
	async () => {
		const updates = companion.presetMessages.count
		for (let i = 0; i < 20; i++) await sim(`rename 7 "Renamed ${i}"`)
		for (const change of ['add Breaking', 'remove 0', 'move 2 9', 'move 10 1', 'add Late', 'move 12 0', 'remove 5'])
			await sim(change)
		const want = (await rows()).map((r, i) => `${r.guid} ${i + 1}. ${r.name}`)
		const listed = () =>
			choicesOf(companion.actions.get('pgm'))
				.slice(1)
				.map((c) => `${c.id} ${c.label}`)
		const names = () => companion.presets.filter((p) => p.category === 'Items').map((p) => p.name)
		// The previews' picture batches may show the new list a moment before the
		// debounced rebuild gives the actions theirs: both are waited for.
		await until(
			() =>
				JSON.stringify(listed()) === JSON.stringify(want) && names().includes('Late') && names().includes('Renamed 19'),
			'the lists and presets rebuilt',
		)
		assert.equal(names().length, 12)
		assert.ok(!logged(/sent its catalogue again/), 'no catalogue from the start')
		const rebuilds = companion.presetMessages.count - updates
		assert.ok(rebuilds <= 4, `${rebuilds} preset rebuilds for 27 changes`)
	},
)

test('a view token shows "view only", and a press is refused "read only"', skip, async () => {
	const viewer = new FakeCompanion()
	try {
		await viewer.init(config, { token: live.viewToken }, { label: 'viewer' })
		await viewer.waitFor(() => viewer.status?.status === 'ok', 'the viewer linked', live.timeout(5000))
		assert.equal(viewer.status.message, 'view only: commands are refused')
		await viewer.press('pgm', { item: '#2' })
		const refused = () => viewer.logs.some((l) => /pgm refused: read only/.test(l))
		await viewer.waitFor(refused, 'the refusal', live.timeout(5000))
		assert.equal((await rows())[1].status, 0)
	} finally {
		await viewer.stop()
	}
})

test('the 17th panel is refused with 4429, tried again, and linked once a place frees', skip, async () => {
	const others = []
	try {
		// The module gives its place up; others take every place.
		await companion.configure({ ...config, port: 0 }, { token: live.token })
		for (let seat = client(live.token); await seat.linked; seat = client(live.token)) others.push(seat)
		const from = companion.statuses.length
		await companion.configure(config, { token: live.token })
		await until(() => statusesSince(from, 'connection_failure').some((s) => /too many/.test(s.message)), '4429')
		others.pop().socket.close()
		await until(() => statusesSince(from, 'ok').length, 'linked once a place is free', 10000)
	} finally {
		for (const seat of others) seat.socket.close()
	}
})

test('a flood of connections without a token from one address never makes the module give up', skip, async () => {
	const flood = new Set()
	const open = () => {
		const { socket, closed } = client()
		flood.add(socket)
		closed.then(() => flood.delete(socket) && flooding && setImmediate(open))
	}
	let flooding = true
	const from = companion.statuses.length
	try {
		for (let i = 0; i < 32; i++) open()
		for (let i = 0; i < 5; i++) {
			await companion.configure(config, { token: live.token })
			await sleep(400)
		}
	} finally {
		flooding = false
		for (const socket of flood) socket.terminate()
	}
	await until(() => companion.status?.status === 'ok' && companion.variables.total === 12, 'linked', 40000)
	assert.deepEqual(statusesSince(from, 'authentication_failure'), [])
})

test("a wrong token is an authentication failure; the right one links after the console's back-off", skip, async () => {
	await companion.configure(config, { token: WRONG })
	await until(() => companion.status?.status === 'authentication_failure', 'authentication failure')
	assert.equal(companion.variables.current_item, '')
	// Five wrong tokens in all: the address then waits 4 s before its next auth is read.
	for (let wrong = 1; wrong < 5;) {
		if ((await client(WRONG).closed) === 4401) wrong++
		else await sleep(200)
	}
	const from = companion.statuses.length
	await companion.configure(config, { token: live.token })
	await until(() => companion.status?.status === 'ok' && companion.variables.total === 12, 'linked again', 20000)
	assert.ok(statusesSince(from, 'connection_failure').some((s) => /try again later/.test(s.message)))
})

test("the connected feedback follows the console's link to its server", skip, async () => {
	const connected = companion.place('connected')
	await until(() => valueOf(connected) === true, 'connected')
	await sim('close')
	await until(() => valueOf(connected) === false && companion.variables.connected === false, 'the server gone')
})
