'use strict'

// The installable package: built with Companion's own tool in a scratch copy
// of the module (nothing is left in the source tree), unpacked, and started
// the way Companion starts it.
const test = require('node:test')
const assert = require('node:assert/strict')
const { execFileSync } = require('node:child_process')
const fs = require('node:fs')
const os = require('node:os')
const path = require('node:path')
const { FakeCompanion, ROOT } = require('./host.js')

const base = require('@companion-module/base/package.json')

test('the built package starts under Companion and reports its API version', { timeout: 120000 }, async (t) => {
	const work = fs.mkdtempSync(path.join(os.tmpdir(), 'ovcg-companion-'))
	t.after(() => fs.rmSync(work, { recursive: true, force: true }))
	for (const entry of ['package.json', 'companion', 'src'])
		fs.cpSync(path.join(ROOT, entry), path.join(work, entry), { recursive: true })
	fs.symlinkSync(path.join(ROOT, 'node_modules'), path.join(work, 'node_modules'))
	execFileSync(path.join(ROOT, 'node_modules/.bin/companion-module-build'), [], { cwd: work, stdio: 'pipe' })

	const tgz = fs.readdirSync(work).filter((f) => f.endsWith('.tgz'))
	assert.deepEqual(tgz, [`ovcgvestrel-console-${require('../package.json').version}.tgz`])
	const unpacked = path.join(work, 'unpacked')
	fs.mkdirSync(unpacked)
	execFileSync('tar', ['xzf', path.join(work, tgz[0]), '-C', unpacked])
	const pkg = path.join(unpacked, 'pkg')
	const manifest = JSON.parse(fs.readFileSync(path.join(pkg, 'companion/manifest.json'), 'utf8'))
	assert.deepEqual(
		[manifest.runtime.type, manifest.runtime.apiVersion, manifest.runtime.entrypoint],
		['node22', base.version, '../main.js'],
	)

	const companion = new FakeCompanion({
		entry: path.join(pkg, 'main.js'),
		manifest: path.join(pkg, 'companion/manifest.json'),
	})
	t.after(() => companion.stop())
	await companion.init({ host: '127.0.0.1', port: 9 }, { token: 'x' })
	await companion.waitFor(
		() => companion.actions.has('pgm') && ['connecting', 'connection_failure'].includes(companion.status?.status),
		'definitions and a connection attempt',
	)
})
