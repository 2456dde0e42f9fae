'use strict'

const { Regex } = require('@companion-module/base')

const DEFAULT_PORT = 19100

// What the client can connect to: a host name, an IPv4 address, or an IPv6
// address without brackets or zone. The config page checks the same pattern.
const H16 = '[0-9A-Fa-f]{1,4}'
const IPV4 = '(?:(?:25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)\\.){3}(?:25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)'
// Eight groups, or fewer around one "::"; the last two may be an IPv4 address.
const IPV6 = [
	`(?:${H16}:){7}${H16}`,
	`(?:${H16}:){1,7}:`,
	...[1, 2, 3, 4, 5, 6].map((after) => `(?:${H16}:){1,${7 - after}}(?::${H16}){1,${after}}`),
	`:(?:(?::${H16}){1,7}|:)`,
	`(?:${H16}:){6}${IPV4}`,
	`::(?:${H16}:){0,5}${IPV4}`,
	...[1, 2, 3, 4, 5].map((before) => `(?:${H16}:){${before}}:(?:${H16}:){0,${5 - before}}${IPV4}`),
].join('|')
const HOSTNAME = Regex.HOSTNAME.slice(2, -2)
const HOST_PATTERN = `^(?:${HOSTNAME}|${IPV6})$`
const HOST_REGEX = new RegExp(HOST_PATTERN)

function validHost(host) {
	return typeof host === 'string' && HOST_REGEX.test(host)
}

function configFields() {
	return [
		{
			type: 'static-text',
			id: 'where',
			label: 'Where the port and token come from',
			width: 12,
			value:
				"The console's remote API is off until api_port and api_token are set in the [CONFIG] group of its " +
				"config.ini (restart the console after changing them). It listens on the console's own machine only " +
				'unless api_address names another of its addresses. The console takes at most 16 panels.',
		},
		{
			type: 'textinput',
			id: 'host',
			label: 'Console address',
			description: 'Host name, IPv4 or IPv6 address',
			width: 8,
			default: '127.0.0.1',
			regex: `/${HOST_PATTERN}/`,
			required: true,
		},
		{
			type: 'number',
			id: 'port',
			label: 'API port',
			description: 'api_port',
			width: 4,
			default: DEFAULT_PORT,
			min: 1,
			max: 65535,
			required: true,
		},
		{
			type: 'secret-text',
			id: 'token',
			label: 'API token',
			description: 'api_token',
			width: 8,
		},
		{
			type: 'textinput',
			id: 'seat',
			label: 'Seat name',
			description: "How the console's log names this panel; empty: this connection's label",
			width: 4,
			default: '',
		},
	]
}

// Modules built before the secrets store kept the token in the plain config:
// it moves to the secrets once, and the plain config keeps no copy.
function moveTokenToSecrets(_context, props) {
	const config = props.config
	if (!config || !('token' in config)) return { updatedConfig: null, updatedActions: [], updatedFeedbacks: [] }
	const { token, ...rest } = config
	const secrets = { ...props.secrets }
	if (!secrets.token && token) secrets.token = token
	return { updatedConfig: rest, updatedSecrets: secrets, updatedActions: [], updatedFeedbacks: [] }
}

const UPGRADE_SCRIPTS = [moveTokenToSecrets]

module.exports = { configFields, validHost, HOST_PATTERN, DEFAULT_PORT, UPGRADE_SCRIPTS }
