import { generateEslintConfig } from '@companion-module/tools/eslint/config.mjs'

const config = await generateEslintConfig({})

export default [
	...config,
	{
		// The tests run on the developer's Node, where 18 still calls node:test experimental.
		files: ['test/**/*.js'],
		rules: { 'n/no-unsupported-features/node-builtins': ['error', { allowExperimental: true }] },
	},
]
