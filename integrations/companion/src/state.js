'use strict'

// What the console has told us, in the shape the buttons need. Fed with the
// API's messages one by one; apply() says what changed so that the module
// redraws only what has to be redrawn. Positions are the list's order (1-based);
// the items keep none of their own, so an insertion costs no renumbering.

// As the console sends them: the CG server's own numbering, as over OSC.
const OFF = 0
const PGM = 1
const PVW = 2

// The console lists at most this many items (and cues). Anything claiming more
// is not from a console that works: it is refused rather than allocated for.
const MAX_TOTAL = 100000

class ConsoleState {
	// Pictures of a console that gives no versions (protocol 1) get versions
	// of our own, never reused, so a cached picture never passes for a newer one.
	#ownVersion = 0

	constructor() {
		this.clear()
	}

	clear() {
		this.protocol = 1
		this.role = 'control'
		this.connected = false
		this.server = null
		this.locked = false
		this.current = null
		this.currentName = ''
		this.total = 0
		this.items = []
		this.byGuid = new Map()
		this.cueTotal = 0
		this.cues = []
		this.next = null
		this.lastTakeMs = null
		this.refused = 0
	}

	get complete() {
		return this.items.length >= this.total
	}

	statusOf(guid) {
		return this.byGuid.get(guid)?.status ?? OFF
	}

	nameOf(guid) {
		return this.byGuid.get(guid)?.name ?? ''
	}

	// The item's picture version: 0 when it has none.
	pictureOf(guid) {
		return this.byGuid.get(guid)?.picture ?? 0
	}

	get nextCueName() {
		const cue = this.next ? this.cues[this.next - 1] : undefined
		return typeof cue?.name === 'string' ? cue.name : ''
	}

	// Returns { changed } with the kinds of change: catalogue (list, order or
	// names), restart (a new list from offset 0), status, current, connected,
	// locked, cues, take, role and picture; and picture: the guid whose picture
	// changed.
	apply(msg) {
		const changed = new Set()
		const result = { changed }
		if (!msg || typeof msg !== 'object') return result
		switch (msg.type) {
			case 'state':
				this.protocol = Number.isInteger(msg.protocol) && msg.protocol > 0 ? msg.protocol : 1
				this.role = msg.role === 'view' ? 'view' : 'control'
				this.connected = !!msg.connected
				this.server = msg.server ?? null
				this.locked = !!msg.locked
				this.items = []
				this.byGuid = new Map()
				this.total = 0
				this.#addSlice({ offset: 0, items: msg.items, total: msg.total })
				this.#setCurrent(msg.current ?? null, undefined)
				this.cues = []
				this.next = cleanNext(msg.next)
				this.#addCues({ offset: 0, total: msg.cueTotal, cues: msg.cues })
				for (const kind of ['catalogue', 'restart', 'status', 'current', 'connected', 'locked', 'cues', 'role'])
					changed.add(kind)
				break
			case 'items':
				if (!this.#addSlice(msg)) break
				changed.add('catalogue').add('status').add('current')
				if (msg.offset === 0) changed.add('restart')
				break
			case 'inserted':
			case 'removed':
			case 'moved':
				if (this.#structural(msg)) changed.add('catalogue').add('status').add('current')
				break
			case 'item':
			case 'take': {
				const known = this.byGuid.get(String(msg.guid))
				if (known) {
					const name = typeof msg.name === 'string' ? msg.name : known.name
					const status = cleanStatus(msg.status)
					const picture = this.#pictureVersion(msg.picture, known.picture)
					if (name !== known.name) changed.add('catalogue')
					if (status !== known.status) changed.add('status')
					if (picture !== known.picture) {
						result.picture = known.guid
						changed.add('picture')
					}
					Object.assign(known, { name, status, picture })
					if (this.current === known.guid && this.currentName !== name) {
						this.currentName = name
						changed.add('current')
					}
				}
				if (msg.type === 'take' && Number.isFinite(msg.ms)) {
					this.lastTakeMs = msg.ms
					changed.add('take')
				}
				break
			}
			case 'picture': {
				const known = this.byGuid.get(String(msg.guid))
				if (known) {
					known.picture = this.#pictureVersion(msg.picture ?? null, known.picture)
					result.picture = known.guid
					changed.add('picture')
				}
				break
			}
			case 'current':
				this.#setCurrent(msg.guid ?? null, msg.name)
				changed.add('current').add('status')
				break
			case 'connected':
				this.connected = !!msg.connected
				this.server = msg.server ?? null
				changed.add('connected')
				break
			case 'locked':
				this.locked = !!msg.locked
				changed.add('locked')
				break
			case 'cues':
				// A console of protocol 1 sends the whole order without an offset.
				if (this.#addCues({ offset: 0, ...msg })) changed.add('cues')
				break
			case 'cue': {
				const cue = this.cues[msg.index - 1]
				if (cue && Number.isInteger(msg.index)) {
					Object.assign(cue, cleanCue(msg))
					changed.add('cues')
				}
				break
			}
			case 'next':
				this.next = cleanNext(msg.next)
				changed.add('cues')
				break
		}
		return result
	}

	// A version as the console gives it (protocol 2: a number), or one of our
	// own: true (protocol 1: "has one") keeps a version the item has, and a
	// picture message without one (null) always makes a new one.
	#pictureVersion(raw, old) {
		if (Number.isSafeInteger(raw) && raw >= 0) return raw
		if (raw === false) return 0
		if ((raw === true || raw === undefined) && old) return old
		if (raw === undefined && old === 0) return 0
		return `own${++this.#ownVersion}`
	}

	#cleanItem(raw) {
		return {
			guid: String(raw.guid),
			name: typeof raw.name === 'string' ? raw.name : '',
			status: cleanStatus(raw.status),
			picture: this.#pictureVersion(raw.picture, null),
		}
	}

	#setCurrent(guid, name) {
		this.current = guid === null ? null : String(guid)
		this.currentName = typeof name === 'string' ? name : this.current ? this.nameOf(this.current) : ''
	}

	// Counts and ignores what no console that works sends: a total over the
	// bound, or a slice that would leave a hole in the list.
	#refuse() {
		this.refused++
		return false
	}

	// A slice at offset 0 starts the list afresh; any other continues it.
	#addSlice({ offset, items, total }) {
		if (!Array.isArray(items)) return false
		if (offset === undefined) offset = this.items.length
		if (!Number.isInteger(offset) || offset < 0 || offset > this.items.length) return this.#refuse()
		if (!Number.isInteger(total)) total = offset + items.length
		if (total < 0 || total > MAX_TOTAL || offset + items.length > total) return this.#refuse()
		if (items.some((raw) => raw?.guid === undefined || raw.guid === null)) return this.#refuse()
		if (offset === 0) this.byGuid = new Map()
		for (const dropped of this.items.splice(offset)) this.byGuid.delete(dropped.guid)
		this.total = total
		for (const raw of items) {
			const item = this.#cleanItem(raw)
			this.items.push(item)
			this.byGuid.set(item.guid, item)
		}
		this.#nameCurrent()
		return true
	}

	// Insertions, removals and moves, with positions counted after the change.
	// Only those within the part of the list received so far arrive (a move
	// across its end comes as a removal or an insertion); the rest of the list
	// still comes in slices that continue where it ends.
	#structural(msg) {
		const { total } = msg
		if (!Number.isInteger(total) || total < 0 || total > MAX_TOTAL) return this.#refuse()
		const to = msg.type === 'moved' ? msg.to : msg.position
		const item = msg.type === 'inserted' ? msg.item : this.byGuid.get(String(msg.guid))
		if (!item?.guid) return false
		const room = this.items.length + (msg.type === 'moved' ? 0 : 1)
		if (msg.type !== 'removed' && !(Number.isInteger(to) && to >= 1 && to <= room)) return this.#refuse()
		const kept = this.#take(String(item.guid))
		if (msg.type !== 'removed') {
			const placed = kept && msg.type === 'moved' ? kept : this.#cleanItem(item)
			this.items.splice(to - 1, 0, placed)
			this.byGuid.set(placed.guid, placed)
		}
		this.total = Math.max(total, this.items.length)
		this.#nameCurrent()
		return true
	}

	// Takes the item of that guid out of the list; returns it.
	#take(guid) {
		const item = this.byGuid.get(guid)
		if (!item) return null
		this.items.splice(this.items.indexOf(item), 1)
		this.byGuid.delete(guid)
		return item
	}

	#nameCurrent() {
		if (this.current) this.currentName = this.nameOf(this.current) || this.currentName
	}

	#addCues({ offset, total, cues, next }) {
		if (!Array.isArray(cues)) return false
		if (!Number.isInteger(total)) total = offset + cues.length
		if (!Number.isInteger(offset) || offset < 0 || offset > this.cues.length) return this.#refuse()
		if (total < 0 || total > MAX_TOTAL || offset + cues.length > total) return this.#refuse()
		this.cues.length = offset
		for (const cue of cues) this.cues.push(cleanCue(cue))
		this.cueTotal = total
		if (next !== undefined) this.next = cleanNext(next)
		return true
	}
}

function cleanStatus(status) {
	return status === PGM || status === PVW ? status : OFF
}

function cleanCue(raw) {
	return {
		guid: String(raw?.guid ?? ''),
		name: typeof raw?.name === 'string' ? raw.name : '',
		duration: Number.isFinite(raw?.duration) ? raw.duration : 0,
	}
}

function cleanNext(next) {
	return Number.isInteger(next) && next >= 1 ? next : null
}

module.exports = { ConsoleState, OFF, PVW, PGM, MAX_TOTAL }
