'use strict'

// What the tests against a running console need: the console's API (port and
// tokens from the e2e driver), its log file and the simulator's control
// socket. Without them those tests skip.

const net = require('node:net')

const scale = Number(process.env.OV_E2E_TIMEOUT_SCALE) || 1
const live = {
	port: Number(process.env.OV_API_PORT) || 0,
	token: process.env.OV_API_TOKEN ?? '',
	viewToken: process.env.OV_API_VIEW_TOKEN ?? '',
	log: process.env.OV_CONSOLE_LOG ?? '',
	simControl: Number(process.env.OV_SIM_CONTROL) || 0,
	timeout: (ms) => ms * scale,
}
live.skip =
	live.port && live.simControl ? false : 'needs a running console and simulator (e2e scenario companion_module)'

// One command to the simulator; resolves with its reply lines, the last "ok ...".
function sim(line) {
	return new Promise((resolve, reject) => {
		const socket = net.createConnection({ host: '127.0.0.1', port: live.simControl })
		let text = ''
		socket.setEncoding('utf8')
		socket.on('connect', () => socket.write(line + '\n'))
		socket.on('data', (chunk) => {
			text += chunk
			const lines = text.split('\n').filter(Boolean)
			const last = lines[lines.length - 1] ?? ''
			if (text.endsWith('\n') && (last.startsWith('ok') || last.startsWith('error'))) {
				socket.end()
				if (last.startsWith('error')) reject(new Error(`simulator: ${line}: ${last}`))
				else resolve(lines)
			}
		})
		socket.on('error', reject)
	})
}

module.exports = { live, sim }
