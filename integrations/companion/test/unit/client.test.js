'use strict'
const test = require('node:test')
const assert = require('node:assert/strict')
const { retryDelay } = require('../../src/client.js')

test('reconnection waits double from one second up to thirty', () => {
	const cases = [[0, 1000], [1, 2000], [2, 4000], [4, 16000], [5, 30000], [50, 30000]]
	for (const [attempt, ms] of cases) assert.equal(retryDelay(attempt), ms, `attempt ${attempt}`)
})
