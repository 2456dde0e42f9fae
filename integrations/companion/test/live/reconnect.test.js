'use strict'

// A console of this test's own (no CG server needed): the module links to it,
// sees it die, says so, and links again once it is back.
const { test, after } = require('node:test')
const assert = require('node:assert/strict')
const { spawn } = require('node:child_process')
const fs = require('node:fs')
const os = require('node:os')
const path = require('node:path')
const { FakeCompanion } = require('../host.js')
const { live } = require('../live.js')

const skip = live.skip || (!live.program && 'needs a copy of the console program (OV_CONSOLE_PROGRAM)')
let consoleProcess
let companion

function startConsole(port) {
	const dir = path.dirname(live.program)
	fs.writeFileSync(path.join(dir, 'config.ini'), `[CONFIG]\napi_port=${port}\napi_token=${live.token}\n`)
	const runtime = fs.mkdtempSync(path.join(os.tmpdir(), 'ovcg-runtime-'))
	fs.chmodSync(runtime, 0o700)
	consoleProcess = spawn(live.program, [], { env: { ...process.env, XDG_RUNTIME_DIR: runtime }, stdio: 'ignore' })
}

after(async () => {
	await companion?.stop()
	consoleProcess?.kill('SIGKILL')
})

test('the module reconnects with backoff when the console goes away and comes back', { skip }, async () => {
	const port = live.port + 1
	const until = (check, what, ms) => companion.waitFor(check, what, live.timeout(ms))
	startConsole(port)
	companion = new FakeCompanion()
	await companion.init({ host: '127.0.0.1', port }, { token: live.token })
	await until(() => companion.status?.status === 'ok', 'linked', 15000)
	assert.equal(companion.variables.connected, false, 'this console has no CG server')

	consoleProcess.kill('SIGKILL')
	await until(() => companion.status?.status === 'connecting' && /retrying in/.test(companion.status.message ?? ''), 'retrying', 5000)
	const retries = new Set()
	await until(() => (retries.add(companion.status.message), retries.size >= 3), 'two more attempts', 8000)
	assert.ok([...retries].some((m) => /retrying in 2 s/.test(m)), `the wait doubles: ${[...retries].join(' | ')}`)

	startConsole(port)
	await until(() => companion.status?.status === 'ok', 'linked again', 20000)
})
