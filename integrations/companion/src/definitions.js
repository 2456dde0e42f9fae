'use strict'

const { combineRgb } = require('@companion-module/base')
const { PGM, PVW } = require('./state.js')

// A catalogue can hold 100,000 items; Companion redraws its editors and its
// preset list from whole definition sets, so the item lists offered there are
// cut. Any item stays reachable by typing its guid, its name or #position.
const CHOICE_CAP = 1000
const PRESET_CAP = 500
const PICTURE_SIZE = 72

const RED = combineRgb(204, 0, 0)
const GREEN = combineRgb(0, 153, 0)
const AMBER = combineRgb(230, 140, 0)
const WHITE = combineRgb(255, 255, 255)
const BLACK = combineRgb(0, 0, 0)

const CURRENT = ''

// The option value to the API's item: '' the current item, "#12" position 12,
// anything else a guid or a name.
function apiItem(value) {
	const text = value === undefined || value === null ? '' : String(value).trim()
	if (text === CURRENT) return undefined
	const position = /^#(\d{1,9})$/.exec(text)
	return position ? Number(position[1]) : text
}

// The option's text with the variables in it replaced by their values.
async function optionText(event, context) {
	const value = event.options.item === undefined || event.options.item === null ? '' : String(event.options.item)
	return value.includes('$(') ? context.parseVariablesInString(value) : value
}

// The guid an option names, for the feedbacks: the current item for '',
// otherwise a guid, a name or a #position looked up in the catalogue.
function resolveGuid(state, value) {
	const item = apiItem(value)
	if (item === undefined) return state.current
	if (typeof item === 'number') return state.items[item - 1]?.guid ?? null
	if (state.byGuid.has(item)) return item
	return state.items.find((it) => it.name === item)?.guid ?? null
}

// What an action sends: a name the list knows goes as its guid, since the
// console finds only whole names and cuts the long ones it sends.
function sentItem(state, value) {
	const item = apiItem(value)
	return typeof item === 'string' ? (resolveGuid(state, item) ?? item) : item
}

function itemChoices(state) {
	const choices = [{ id: CURRENT, label: '(current item)' }]
	for (let i = 0; i < state.items.length && i < CHOICE_CAP; i++) {
		choices.push({ id: state.items[i].guid, label: `${i + 1}. ${state.items[i].name}` })
	}
	return choices
}

// What the action and feedback definitions are made of: when it is the same,
// Companion is not sent the same definitions again.
function choicesKey(state) {
	return itemChoices(state)
		.map((c) => `${c.id}\n${c.label}`)
		.join('\n')
}

function itemOption(choices) {
	return {
		type: 'dropdown',
		id: 'item',
		label: 'Item',
		default: CURRENT,
		choices,
		allowCustom: true,
		tooltip:
			`The first ${CHOICE_CAP} items are listed; type a guid, a name or #position for any other. ` +
			'Variables such as $(internal:custom_item) are replaced when the button is pressed.',
	}
}

// Learn takes the console's current item into the option.
function learnCurrent(state) {
	return (event) => (state.current ? { ...event.options, item: state.current } : undefined)
}

// run(cmd, fields) sends one command to the console.
function actionDefinitions(state, run) {
	const item = itemOption(itemChoices(state))
	const onItem = (cmd, name, description) => ({
		name,
		description,
		options: [item],
		learn: learnCurrent(state),
		callback: async (event, context) => run(cmd, { item: sentItem(state, await optionText(event, context)) }),
	})
	const plain = (cmd, name, description) => ({ name, description, options: [], callback: async () => run(cmd, {}) })
	return {
		pgm: onItem('pgm', 'Item to PGM', 'Puts the item on air (PGM), as its tile and the PGM key would'),
		pvw: onItem('pvw', 'Item to PVW', 'Puts the item on preview (PVW)'),
		cancel: onItem('cancel', 'Item off air', 'Takes the item off PGM or PVW'),
		select: onItem('select', 'Make item current', "Makes the item the console's current item"),
		go: plain('go', 'GO: next cue to PGM', "Puts the running order's next cue on air"),
		next: plain('next', 'Next item becomes current', 'As the console’s → key'),
		prev: plain('prev', 'Previous item becomes current', 'As the console’s ← key'),
		lock: plain('lock', 'Lock takes', 'The console refuses every take until unlocked'),
		unlock: plain('unlock', 'Unlock takes', 'Takes are allowed again'),
		clearall: plain('clearall', 'Take all off air', 'Every item on PGM or PVW goes off air, without asking'),
	}
}

// picture(guid, size, feedbackId) gives the cached base64 PNG or nothing (and
// fetches it); forget(feedbackId) says the feedback is gone.
function feedbackDefinitions(state, picture, forget = () => {}) {
	const item = itemOption(itemChoices(state))
	const onAir = (status, name, bgcolor) => ({
		type: 'boolean',
		name,
		description: 'As the CG server confirmed it',
		defaultStyle: { bgcolor, color: WHITE },
		options: [item],
		learn: learnCurrent(state),
		callback: async (event, context) => {
			const guid = resolveGuid(state, await optionText(event, context))
			return !!guid && state.statusOf(guid) === status
		},
	})
	return {
		on_pgm: onAir(PGM, 'Item on PGM', RED),
		on_pvw: onAir(PVW, 'Item on PVW', GREEN),
		picture: {
			type: 'advanced',
			name: "Item's picture",
			description: 'The picture the console shows on the tile, at the size of the button',
			options: [item],
			learn: learnCurrent(state),
			callback: async (event, context) => {
				const guid = resolveGuid(state, await optionText(event, context))
				if (!guid) return {}
				const side = Math.max(event.image?.width ?? 0, event.image?.height ?? 0) || PICTURE_SIZE
				const png = picture(guid, Math.min(256, Math.max(1, Math.round(side))), event.id)
				return png ? { png64: png, pngalignment: 'center:center' } : {}
			},
			unsubscribe: (event) => forget(event.id),
		},
		connected: {
			type: 'boolean',
			name: 'Console connected to its CG server',
			description: 'The console is logged in to its CG server (and this module to the console)',
			defaultStyle: { bgcolor: GREEN, color: WHITE },
			options: [],
			callback: () => state.connected,
		},
		locked: {
			type: 'boolean',
			name: 'Takes locked',
			description: 'The console refuses takes until unlocked',
			defaultStyle: { bgcolor: AMBER, color: BLACK },
			options: [],
			callback: () => state.locked,
		},
	}
}

const VARIABLES = [
	{ variableId: 'current_item', name: 'Current item (name)' },
	{ variableId: 'next_cue', name: 'Next cue (name)' },
	{ variableId: 'last_take_ms', name: 'Last confirmation time (ms)' },
	{ variableId: 'connected', name: 'Console connected to its CG server' },
	{ variableId: 'locked', name: 'Takes locked' },
	{ variableId: 'total', name: 'Items in the catalogue' },
]

function variableValues(state, linked) {
	return {
		current_item: linked ? state.currentName : '',
		next_cue: linked ? state.nextCueName : '',
		last_take_ms: state.lastTakeMs ?? '',
		connected: linked && state.connected,
		locked: linked && state.locked,
		total: linked ? state.total : 0,
	}
}

function controlPreset(name, actionId, text, feedbacks = []) {
	return {
		type: 'button',
		category: 'Control',
		name,
		style: { text, size: '14', color: WHITE, bgcolor: BLACK },
		feedbacks,
		steps: [{ down: [{ actionId, options: {} }], up: [] }],
	}
}

// The items the presets show, each with the picture at hand for its preview
// (cached(guid) gives { png, serial } or nothing), and a key that changes
// exactly when the presets would.
function presetItems(state, cached = () => undefined) {
	const items = state.items.slice(0, PRESET_CAP).map((item) => ({ item, picture: cached(item.guid) }))
	const key = items.map(({ item, picture }) => `${item.guid}\n${item.name}\n${picture?.serial ?? ''}`).join('\n')
	return { items, key }
}

// One PGM button per item (the first PRESET_CAP), with its tally and picture,
// and the buttons that need no item.
function presetDefinitions(items) {
	const presets = {
		go: controlPreset('GO', 'go', 'GO'),
		next: controlPreset('Next item', 'next', 'NEXT'),
		prev: controlPreset('Previous item', 'prev', 'PREV'),
		lock: controlPreset('Lock', 'lock', 'LOCK', [{ feedbackId: 'locked', options: {} }]),
		unlock: controlPreset('Unlock', 'unlock', 'UNLOCK'),
		clearall: controlPreset('Take all off', 'clearall', 'ALL OFF'),
	}
	const tally = (item) => [
		{ feedbackId: 'on_pgm', options: { item }, style: { bgcolor: RED, color: WHITE } },
		{ feedbackId: 'on_pvw', options: { item }, style: { bgcolor: GREEN, color: WHITE } },
	]
	for (const [id, name] of [
		['pgm', 'PGM'],
		['pvw', 'PVW'],
		['cancel', 'OFF'],
	]) {
		presets[`current_${id}`] = {
			...controlPreset(`Current item: ${name}`, id, name, tally(CURRENT)),
			steps: [{ down: [{ actionId: id, options: { item: CURRENT } }], up: [] }],
		}
	}
	for (const { item, picture } of items) {
		presets[`item_${item.guid}`] = {
			type: 'button',
			category: 'Items',
			name: item.name || item.guid,
			style: { text: item.name, size: '7', alignment: 'center:bottom', color: WHITE, bgcolor: BLACK },
			...(picture?.png ? { previewStyle: { png64: picture.png, pngalignment: 'center:center' } } : {}),
			feedbacks: [...tally(item.guid), { feedbackId: 'picture', options: { item: item.guid } }],
			steps: [{ down: [{ actionId: 'pgm', options: { item: item.guid } }], up: [] }],
		}
	}
	return presets
}

module.exports = {
	CHOICE_CAP,
	PRESET_CAP,
	PICTURE_SIZE,
	apiItem,
	resolveGuid,
	itemChoices,
	choicesKey,
	actionDefinitions,
	feedbackDefinitions,
	presetItems,
	presetDefinitions,
	variableValues,
	VARIABLES,
}
