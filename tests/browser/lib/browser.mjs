// Debian's Chromium, driven by playwright-core; nothing here downloads a
// browser. Headless, so the tests need no display.

import { chromium } from 'playwright-core'

export const CHROMIUM = process.env.OV_CHROMIUM || '/usr/bin/chromium'

// The flags this machine's closed network needs (no background fetches, no
// QUIC); launch() gives every run a new empty profile of its own.
export const FLAGS = [
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
]

export function launch() {
  return chromium.launch({ executablePath: CHROMIUM, headless: true, args: FLAGS })
}

export const PHONE = { viewport: { width: 390, height: 844 }, deviceScaleFactor: 2, isMobile: true, hasTouch: true }
export const DESKTOP = { viewport: { width: 1280, height: 800 } }

// A page of the panel in a context of its own (its own storage). Page errors
// and CSP violations are collected; close() fails the test on any.
export async function openPanel(browser, url, { device = DESKTOP, token, remember = false, seat } = {}) {
  const context = await browser.newContext(device)
  const page = await context.newPage()
  const problems = []
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`))
  page.on('console', (msg) => {
    if (msg.type() === 'error' && !/WebSocket|ERR_CONNECTION_REFUSED|status of 403/.test(msg.text())) problems.push(`console: ${msg.text()}`)
  })
  await page.addInitScript(() => {
    document.addEventListener('securitypolicyviolation', (e) => {
      window.ovViolations = [...(window.ovViolations || []), `${e.violatedDirective} ${e.blockedURI}`]
    })
  })
  if (remember && token) {
    // As on a device where the token was remembered last time.
    await page.goto(url)
    await page.evaluate((t) => localStorage.setItem('ovpanel.token', t), token)
    await page.goto(url)
  } else {
    await page.goto(url)
    if (token) await login(page, token, seat)
  }
  return {
    page,
    context,
    problems,
    async close() {
      const violations = await page.evaluate(() => window.ovViolations || []).catch(() => [])
      await context.close()
      problems.push(...violations.map((v) => `CSP: ${v}`))
      if (problems.length) throw new Error(problems.join('\n'))
    },
  }
}

export async function login(page, token, seat) {
  await page.locator('#token').fill(token)
  if (seat !== undefined) await page.locator('#seat').fill(seat)
  await page.locator('#login-form button[type=submit]').click()
}

// The take buttons are on once the page is live and the console lets it take.
export function waitTakesOn(page) {
  return page.waitForFunction(() => document.querySelector('#go') && !document.body.classList.contains('stale') &&
    document.querySelector('.tile .take.pgm[aria-disabled="false"]') !== null)
}

export function tile(page, position) {
  return page.locator(`.tile:not([hidden])`).filter({ has: page.locator(`.pos`, { hasText: new RegExp(`^${position}$`) }) })
}
