'use strict'

// Figures for the module as Companion runs it, against the stand-in console:
// what the presets cost while 500 pictures arrive and when pictures or tallies
// change, and how long a press waits behind a flood of picture messages. It
// prints and never fails. `node bench/module.js [entry]` (entry: another
// main.js to compare with).

const fs = require('node:fs')
const path = require('node:path')
const { FakeCompanion } = require('../test/host.js')
const { FakeConsole, item } = require('../test/console.js')

const PRESETS = 500
const ITEMS = 600
const FLOOD = 100000
// About the size of a 72-pixel tile picture as the console encodes it.
const PICTURE = 'iVBORw0KGgo'.padEnd(6000, 'A')

// CPU milliseconds the process has used so far.
function cpuMs(pid) {
	const fields = fs.readFileSync(`/proc/${pid}/stat`, 'utf8').split(') ')[1].split(' ')
	return ((Number(fields[11]) + Number(fields[12])) * 1000) / 100
}

async function phase(name, companion, run) {
	const before = { ...companion.presetMessages, cpu: cpuMs(companion.child.pid), at: Date.now() }
	await run()
	const count = companion.presetMessages.count - before.count
	const mb = (companion.presetMessages.bytes - before.bytes) / 1e6
	const cpu = cpuMs(companion.child.pid) - before.cpu
	console.log(
		`${name}: ${count} preset messages, ${mb.toFixed(1)} MB, module CPU ${cpu.toFixed(0)} ms, ${Date.now() - before.at} ms`,
	)
}

const settle = (ms) => new Promise((resolve) => setTimeout(resolve, ms))

async function main() {
	const entry = process.argv[2] ? path.resolve(process.argv[2]) : undefined
	const fake = new FakeConsole({ items: Array.from({ length: ITEMS }, (_, i) => item(i + 1)) })
	fake.answer = (msg) => (msg.cmd === 'thumbnail' ? { ok: true, guid: msg.item, png: PICTURE } : { ok: true })
	await fake.ready
	const companion = new FakeCompanion(entry ? { entry } : {})
	try {
		await companion.init({ host: '127.0.0.1', port: fake.port }, { token: fake.token })
		await phase(`${PRESETS} presets, every picture arriving`, companion, async () => {
			const previews = () => companion.presets.filter((p) => p.previewStyle).length === PRESETS
			await companion.waitFor(previews, 'every preview', 60000)
			await settle(2500)
		})
		await phase('100 tally changes', companion, async () => {
			for (let i = 0; i < 100; i++) fake.send({ type: 'item', ...item((i % PRESETS) + 1, { status: i % 3 }) })
			await settle(2500)
		})
		await phase(`10 renames past the first ${PRESETS} items`, companion, async () => {
			for (let i = 0; i < 10; i++) fake.send({ type: 'item', ...item(PRESETS + 10 + i, { name: `Renamed ${i}` }) })
			await settle(2500)
		})
		await phase('20 pictures changed', companion, async () => {
			for (let i = 1; i <= 20; i++) {
				fake.items[i].picture = 2
				fake.send({ type: 'picture', guid: fake.items[i].guid, position: i + 1, picture: 2 })
			}
			await settle(5000)
		})
		await phase(`2,000 pictures cached (three more sizes)`, companion, async () => {
			const placed = []
			for (const size of [36, 48, 96])
				for (let i = 1; i <= PRESETS; i++)
					placed.push(companion.place('picture', { item: `g${i}` }, { width: size, height: size }))
			const shown = () => placed.every((id) => companion.values.get(id)?.png64)
			await companion.waitFor(shown, 'every picture', 600000)
		})
		await phase(`${FLOOD} picture messages, then a press`, companion, async () => {
			for (let i = 0; i < FLOOD; i++) fake.send({ type: 'picture', guid: `g${(i % PRESETS) + 1}`, picture: 3 + i })
			const pressed = Date.now()
			const commands = fake.commands.length
			companion.press('go')
			await new Promise((resolve) => {
				const look = () => (fake.commands.slice(commands).some((c) => c.cmd === 'go') ? resolve() : setImmediate(look))
				look()
			})
			console.log(`  the press reached the console after ${Date.now() - pressed} ms`)
		})
	} finally {
		await companion.stop()
		await fake.stop()
	}
}

main().catch((err) => {
	console.error(err)
	process.exitCode = 1
})
