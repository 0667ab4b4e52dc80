// pdf.js as an independent reader: opens every page of a PDF and prints one
// JSON line per page with its text (items joined, line ends as "\n").
// usage: node extract.mjs FILE.pdf [PASSWORD]
import { readFileSync } from "node:fs";
import { getDocument } from "pdfjs-dist/legacy/build/pdf.mjs";

const [file, password] = process.argv.slice(2);
const data = new Uint8Array(readFileSync(file));
let doc;
try {
  doc = await getDocument({ data, password, verbosity: 1, useSystemFonts: false }).promise;
} catch (e) {
  process.stderr.write(`cannot open ${file}: ${e.name}: ${e.message}\n`);
  process.exit(3);
}
for (let n = 1; n <= doc.numPages; n++) {
  const page = await doc.getPage(n);
  const content = await page.getTextContent();
  let text = "";
  for (const item of content.items) text += item.str + (item.hasEOL ? "\n" : "");
  // Fonts are parsed by pdf.js itself: report what it made of them too.
  const ops = await page.getOperatorList();
  process.stdout.write(JSON.stringify({ page: n, text, operators: ops.fnArray.length }) + "\n");
}
await doc.destroy();
