/*
 * Room for a text read from a dialog (a fluid name, an exchanger type), in
 * bytes with its terminator. Every block reads its texts into buffers of this
 * size and refuses longer dialog texts before reading them.
 */
#ifndef BLOQUES_TEXTO_DIALOGO_H
#define BLOQUES_TEXTO_DIALOGO_H

#define CAPACIDAD_TEXTO 100

#endif
