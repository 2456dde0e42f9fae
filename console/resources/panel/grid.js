// A grid of equal cells that draws only what is in view: a catalogue of
// 100,000 items is a few dozen elements, moved into place as the view
// scrolls. The content element gets the full height, so the scroll bar and
// the page's own scrolling stay the browser's.

export class VirtualGrid {
  // options: content (element), scroller (window or an element), minWidth,
  // gap, overscan (rows), count(), key(i), create(), fill(node, i)
  constructor(options) {
    Object.assign(this, { gap: 8, overscan: 2, minWidth: 0 }, options)
    this.drawn = new Map() // key -> node
    this.free = []
    this.cols = 1
    this.cellWidth = 0
    this.rowHeight = 0
    this.scheduled = false
    this.onDrawn = null
    const target = this.scroller === window ? window : this.scroller
    target.addEventListener('scroll', () => this.schedule(), { passive: true })
    this.resizeObserver = new ResizeObserver(() => this.schedule())
    this.resizeObserver.observe(this.content.parentElement)
  }

  schedule() {
    if (this.scheduled) return
    this.scheduled = true
    requestAnimationFrame(() => {
      this.scheduled = false
      this.render()
    })
  }

  // The cell height comes from the style sheet (--cell-h on the content).
  measure() {
    const style = getComputedStyle(this.content)
    this.rowHeight = parseFloat(style.getPropertyValue('--cell-h')) || 100
    const width = this.content.clientWidth
    // No minimum width: a list, one cell a row.
    this.cols = this.minWidth > 0 ? Math.max(1, Math.floor((width + this.gap) / (this.minWidth + this.gap))) : 1
    this.cellWidth = Math.max(0, (width - this.gap * (this.cols - 1)) / this.cols)
  }

  get pitch() {
    return this.rowHeight + this.gap
  }

  render() {
    this.measure()
    const count = this.count()
    const rows = Math.ceil(count / this.cols)
    const height = rows ? rows * this.pitch - this.gap : 0
    if (this.height !== height) {
      this.height = height
      this.content.style.height = `${height}px`
    }
    const box = this.content.getBoundingClientRect()
    let clipTop = 0
    let clipBottom = window.innerHeight
    if (this.scroller !== window) {
      const r = this.scroller.getBoundingClientRect()
      clipTop = r.top
      clipBottom = r.bottom
    }
    const visible = box.width > 0 && clipBottom > clipTop
    const firstRow = Math.max(0, Math.floor((clipTop - box.top) / this.pitch) - this.overscan)
    const endRow = Math.min(rows, Math.ceil((clipBottom - box.top) / this.pitch) + this.overscan)
    const first = visible ? firstRow * this.cols : 0
    const end = visible ? Math.min(count, Math.max(first, endRow * this.cols)) : 0

    const wanted = new Map()
    for (let i = first; i < end; i++) {
      // Keyed by item, so that a focused button stays with its item when
      // others come or go above it; a repeated key (a server's mistake) still
      // gets a cell of its own.
      const key = this.key(i)
      wanted.set(wanted.has(key) ? `${key}\u0000${i}` : key, i)
    }
    for (const [key, node] of this.drawn) {
      if (!wanted.has(key)) {
        this.drawn.delete(key)
        node.hidden = true
        node.ovKey = null
        this.free.push(node)
      }
    }
    const fresh = new Set()
    for (const [key, i] of wanted) {
      let node = this.drawn.get(key)
      if (!node) {
        node = this.free.pop() || this.#create()
        node.hidden = false
        node.ovKey = key
        this.drawn.set(key, node)
        fresh.add(node)
      }
      this.#place(node, i)
      this.fill(node, i)
    }
    this.#order(fresh)
    if (this.onDrawn) this.onDrawn(end - first)
  }

  // A screen reader reads the cells in document order: keep it the order of
  // the grid. Scrolling moves only the cells new to the view; items moving
  // among themselves put the rest in order too. A focused cell never moves,
  // since moving an element loses its focus.
  #order(fresh) {
    const nodes = [...this.drawn.values()].sort((a, b) => a.ovIndex - b.ovIndex)
    let next = null
    for (let k = nodes.length - 1; k >= 0; k--) {
      const node = nodes[k]
      if (fresh.has(node) && node.nextElementSibling !== next) this.content.insertBefore(node, next)
      next = node
    }
    const sorted = nodes.every((node, k) => k === 0 || nodes[k - 1].compareDocumentPosition(node) & Node.DOCUMENT_POSITION_FOLLOWING)
    if (sorted) return
    // The items moved among themselves (an insertion, a move): everything
    // around the focused cell is put in order.
    let before = null
    for (const node of nodes) {
      if (!node.contains(document.activeElement)) {
        if (before) before.after(node)
        else this.content.prepend(node)
      }
      before = node
    }
  }

  // Redraws one cell, if it is drawn.
  update(key) {
    const node = this.drawn.get(key)
    if (node) this.fill(node, node.ovIndex)
  }

  each(callback) {
    for (const node of this.drawn.values()) callback(node, node.ovIndex)
  }

  // The document offset of cell i's row, for scrolling it into view.
  rowTop(i) {
    return Math.floor(i / this.cols) * this.pitch
  }

  #create() {
    const node = this.create()
    this.content.appendChild(node)
    return node
  }

  #place(node, i) {
    node.ovIndex = i
    const x = (i % this.cols) * (this.cellWidth + this.gap)
    const y = Math.floor(i / this.cols) * this.pitch
    if (node.ovX !== x || node.ovY !== y) {
      node.ovX = x
      node.ovY = y
      node.style.transform = `translate(${x}px, ${y}px)`
    }
    if (node.ovW !== this.cellWidth) {
      node.ovW = this.cellWidth
      node.style.width = `${this.cellWidth}px`
    }
  }
}
