// Reads an exported glTF file as other programs do. The Khronos glTF validator must find no
// error in it, and three.js's GLTFLoader, playing its animation, must put every joint at the
// first, middle and last frames where bvhpath draws it (drawn_positions' JSON), within 1e-4 of
// the figure's size. Arguments: the glTF file, the JSON. Exits 1, saying why, when either fails.
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import * as THREE from 'three';
import { GLTFLoader } from 'three/examples/jsm/loaders/GLTFLoader.js';

const validator = createRequire(import.meta.url)('gltf-validator');
// Node has no ProgressEvent, which three's FileLoader makes while it reads a .gltf's data: URI.
globalThis.ProgressEvent ??= class ProgressEvent extends Event {
    constructor(type, init = {}) {
        super(type);
        Object.assign(this, init);
    }
};
const [file, drawnFile] = process.argv.slice(2);
const bytes = new Uint8Array(readFileSync(file));
const fail = (why) => {
    console.log(`FAIL: ${file}: ${why}`);
    process.exit(1);
};

const report = await validator.validateBytes(bytes, { uri: file });
for (const issue of report.issues.messages.filter((m) => m.severity === 0)) {
    console.log(`${file}: ${issue.code} ${issue.pointer ?? ''}: ${issue.message}`);
}
if (report.issues.numErrors > 0) fail(`${report.issues.numErrors} errors in the validator's report`);

const drawn = JSON.parse(readFileSync(drawnFile, 'utf8'));
const gltf = await new GLTFLoader().parseAsync(bytes.buffer, '');
// The loader's objects by the index of the node each one was made from.
const nodes = [];
gltf.scene.traverse((object) => {
    const made = gltf.parser.associations.get(object);
    if (made?.nodes !== undefined) nodes[made.nodes] = object;
});
if (nodes.length !== drawn.positions[0].length) fail(`${nodes.length} nodes, ${drawn.positions[0].length} joints drawn`);

const clip = gltf.animations[0];
const mixer = new THREE.AnimationMixer(gltf.scene);
const action = mixer.clipAction(clip).setLoop(THREE.LoopOnce);
action.clampWhenFinished = true;
action.play();
const tolerance = 1e-4 * drawn.size;
let worst = 0;
drawn.frames.forEach((frame, i) => {
    mixer.setTime(clip.tracks[0].times[frame]);
    gltf.scene.updateMatrixWorld(true);
    nodes.forEach((node, j) => {
        const at = node.getWorldPosition(new THREE.Vector3());
        const away = at.distanceTo(new THREE.Vector3(...drawn.positions[i][j]));
        worst = Math.max(worst, away);
        if (!(away <= tolerance)) fail(`frame ${frame}: node ${j} (${node.name}) is ${away} m from where it is drawn (tolerance ${tolerance})`);
    });
});
console.log(`${file}: valid, ${nodes.length} nodes as drawn (at most ${worst.toExponential(2)} m off)`);
