// The panel as a producer sees it during a show, on a phone and on a
// tablet-sized screen, saved as PNG files.

import fs from 'node:fs'
import path from 'node:path'
import { openPanel, PHONE, waitTakesOn } from './browser.mjs'
import { openStage } from './stage.mjs'

export const TABLET = { viewport: { width: 1180, height: 820 }, deviceScaleFactor: 1, hasTouch: true }

// On the stage the tests run against: the fake console, or the real one.
export async function showScene(options = {}) {
  const show = await openStage({ items: 40, cues: [2, 5, 7, 3, 11, 12], next: 3, ...options })
  await show.setStatus(2, 1)
  await show.setStatus(5, 2)
  await show.setCurrent(5)
  await show.rename(7, '嘉宾 张晓明 · 中国气象局首席预报员')
  return show
}

// Returns the files written.
export async function makeShots(browser, dir) {
  fs.mkdirSync(dir, { recursive: true })
  const show = await showScene()
  const written = []
  try {
    for (const [name, device] of [['panel_phone.png', PHONE], ['panel_tablet.png', TABLET]]) {
      const panel = await openPanel(browser, show.url, { device, token: show.token, seat: name.includes('phone') ? '导演 手机' : '制片 iPad' })
      await waitTakesOn(panel.page)
      // Pictures in view, and nothing still moving.
      await panel.page.waitForFunction(() => [...document.querySelectorAll('.tile:not([hidden]) img')].filter((i) => !i.hidden && i.complete).length >= 4)
      await panel.page.evaluate(() => document.fonts.ready)
      const file = path.join(dir, name)
      await panel.page.screenshot({ path: file })
      written.push(file)
      await panel.close()
    }
  } finally {
    await show.close()
  }
  return written
}
