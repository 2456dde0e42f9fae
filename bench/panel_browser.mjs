#!/usr/bin/env node
// The browser panel's figures, measured in Debian's Chromium (headless)
// against the browser tests' stage on loopback, inside a network namespace of
// its own: their fake console, or with OV_PANEL_STAGE=tests/browser/lib/
// console-stage.mjs the real console logged in to the simulator (which then
// makes the catalogue, 100,000 items with --items):
//   open: the page opened with the token remembered, to its first tiles
//         painted (the page's own mark "ov-first-tiles"), at 1,000 and
//         100,000 items;
//   red:  a status confirmed at the server (the fake sends the item message;
//         the simulator is told over its control socket, and tells the
//         console) to the frame after the tile turned red;
//   scroll: wheel and jumps through 100,000 items, the longest frame on the
//         browser's performance timeline (long animation frames, 50 ms and
//         over) and the longest gap between two animation frames.
// Prints figures; never fails on them.
//   node bench/panel_browser.mjs [RUNS]     (needs npm ci in tests/browser)
//   OV_PANEL_STAGE=$PWD/tests/browser/lib/console-stage.mjs node bench/panel_browser.mjs

import { spawnSync } from 'node:child_process'
import { fileURLToPath } from 'node:url'
import path from 'node:path'

const self = fileURLToPath(import.meta.url)
const root = path.resolve(path.dirname(self), '..')
if (process.env.OV_IN_NETNS !== '1') {
  const run = spawnSync(path.join(root, 'scripts/netns-run'), [process.execPath, self, ...process.argv.slice(2)], { stdio: 'inherit' })
  process.exit(run.status ?? 1)
}

const { launch, waitTakesOn } = await import('../tests/browser/lib/browser.mjs')
const { openStage } = await import('../tests/browser/lib/stage.mjs')

const RUNS = Number(process.argv[2]) || 5
const stats = (values) => {
  const sorted = [...values].sort((a, b) => a - b)
  return { median: sorted[Math.floor(sorted.length / 2)], max: sorted[sorted.length - 1] }
}
const ms = (v) => `${v.toFixed(1)} ms`

async function rememberedPage(browser, show, viewport = { width: 1280, height: 800 }) {
  const context = await browser.newContext({ viewport })
  const first = await context.newPage()
  await first.goto(show.url)
  await first.evaluate((token) => localStorage.setItem('ovpanel.token', token), show.token)
  await first.close()
  return context
}

// A page with the token remembered, taking, and the whole catalogue in, so
// that its slices do not share the frames measured.
async function livePage(browser, show, settle) {
  const context = await rememberedPage(browser, show)
  const page = await context.newPage()
  await page.goto(show.url)
  await waitTakesOn(page)
  await page.waitForFunction(() => document.getElementById('tiles').getAttribute('aria-busy') === 'false', null, { timeout: 120000 })
  await page.waitForTimeout(settle)
  return { context, page }
}

async function openTimes(browser, items) {
  const show = await openStage({ items })
  const times = []
  try {
    const context = await rememberedPage(browser, show)
    for (let i = 0; i < RUNS; i++) {
      const page = await context.newPage()
      await page.goto(show.url)
      await page.waitForFunction(() => performance.getEntriesByName('ov-first-tiles').length > 0, null, { timeout: 60000 })
      times.push(await page.evaluate(() => performance.getEntriesByName('ov-first-tiles')[0].startTime))
      await page.close()
    }
    await context.close()
  } finally {
    await show.close()
  }
  return stats(times)
}

async function redTimes(browser, items) {
  const show = await openStage({ items })
  const times = []
  try {
    const { context, page } = await livePage(browser, show, items > 10000 ? 3000 : 300)
    for (let i = 0; i < RUNS * 6; i++) {
      const position = 1 + (i % 4)
      const guid = show.item(position).guid
      await page.evaluate((g) => {
        window.ovRed = new Promise((resolve) => {
          const observer = new MutationObserver(() => {
            const tile = [...document.querySelectorAll('.tile')].find((t) => t.ovGuid === g)
            if (tile && tile.classList.contains('pgm')) {
              observer.disconnect()
              requestAnimationFrame(() => setTimeout(() => resolve(performance.timeOrigin + performance.now())))
            }
          })
          observer.observe(document.getElementById('tiles'), { attributes: true, subtree: true, attributeFilter: ['class'] })
        })
      }, guid)
      const sent = performance.timeOrigin + performance.now()
      await show.setStatus(position, 1)
      const red = await page.evaluate(() => window.ovRed)
      times.push(red - sent)
      await show.setStatus(position, 0)
      await page.waitForTimeout(50)
    }
    await context.close()
  } finally {
    await show.close()
  }
  return stats(times)
}

async function scrolling(browser) {
  const show = await openStage({ items: 100000 })
  try {
    const { context, page } = await livePage(browser, show, 0)
    await page.evaluate(() => {
      window.ovFrames = { longest: 0, gap: 0, count: 0, last: 0 }
      new PerformanceObserver((list) => {
        for (const entry of list.getEntries()) {
          window.ovFrames.count++
          window.ovFrames.longest = Math.max(window.ovFrames.longest, entry.duration)
        }
      }).observe({ type: 'long-animation-frame' })
      const tick = (now) => {
        if (window.ovFrames.last) window.ovFrames.gap = Math.max(window.ovFrames.gap, now - window.ovFrames.last)
        window.ovFrames.last = now
        requestAnimationFrame(tick)
      }
      requestAnimationFrame(tick)
    })
    await page.mouse.move(400, 400)
    for (let i = 0; i < 200; i++) {
      await page.mouse.wheel(0, 600)
      await page.waitForTimeout(16)
    }
    for (let i = 0; i < 30; i++) {
      await page.evaluate((f) => window.scrollTo(0, f * document.documentElement.scrollHeight), (i * 0.618) % 1)
      await page.waitForTimeout(50)
    }
    const result = await page.evaluate(() => ({ ...window.ovFrames, tiles: document.querySelectorAll('.tile').length, y: window.scrollY }))
    await context.close()
    return result
  } finally {
    await show.close()
  }
}

const browser = await launch()
try {
  for (const items of [1000, 100000]) {
    const open = await openTimes(browser, items)
    console.log(`open to first tiles, ${items} items: median ${ms(open.median)}, max ${ms(open.max)} (${RUNS} runs)`)
  }
  for (const items of [1000, 100000]) {
    const red = await redTimes(browser, items)
    console.log(`confirmed status to red tile, ${items} items: median ${ms(red.median)}, max ${ms(red.max)} (${RUNS * 6} takes)`)
  }
  const scroll = await scrolling(browser)
  console.log(
    `scrolling 100000 items: longest long animation frame ${scroll.count ? ms(scroll.longest) : 'none (no frame of 50 ms or more)'}` +
      ` (${scroll.count} frames of 50 ms or more), longest gap between frames ${ms(scroll.gap)}, ${scroll.tiles} tile elements`,
  )
} finally {
  await browser.close()
}
