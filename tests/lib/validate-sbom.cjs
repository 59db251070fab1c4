// Validates CycloneDX JSON files with the CycloneDX project's own library,
// against the strict schema of CycloneDX 1.6; names each file that fails.
//   NODE_PATH=.../node_modules node validate-sbom.cjs FILE...
const { Validation } = require('@cyclonedx/cyclonedx-library');
const { readFileSync } = require('fs');

(async () => {
    const validator = new Validation.JsonStrictValidator('1.6');
    let failed = 0;
    for (const file of process.argv.slice(2)) {
        const errors = await validator.validate(readFileSync(file, 'utf8'));
        if (errors !== null) {
            failed += 1;
            console.log(`${file}: ${JSON.stringify(errors)}`);
        }
    }
    process.exit(failed === 0 && process.argv.length > 2 ? 0 : 1);
})();
