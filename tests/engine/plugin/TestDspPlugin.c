/* A DSP plug-in for the engine tests. Its module record is laid out from the
   field numbers alone (pointer-sized slots), independently of the engine's
   own declaration. It inverts the signal and records every call. */
#include <stdint.h>
#include <string.h>

#define EXPORT __attribute__((visibility("default")))

typedef struct TestDspLog {
    int init_result; /* what init returns; set by the test */
    char calls[256]; /* 'I' init, 'S' start, 'P' process, 'X' stop */
    int call_count;
    int chunk_frames[64];
    int chunks;
    long frames_total;
    intptr_t seen_parent, seen_rate, seen_channels, seen_block;
    void* seen_instance;
    int16_t first_sample[64]; /* first left value of each chunk, before inversion */
} TestDspLog;

static TestDspLog g_log;
static intptr_t g_module[16]; /* fields 1..13 are slots 0..12; the rest are ours */

static void note(char c) {
    if (g_log.call_count < (int)sizeof g_log.calls - 1) g_log.calls[g_log.call_count++] = c;
}

static int init(intptr_t* m) {
    note('I');
    g_log.seen_parent = m[1];
    g_log.seen_instance = (void*)m[2];
    g_log.seen_rate = m[3];
    g_log.seen_channels = m[4];
    g_log.seen_block = m[5];
    return g_log.init_result;
}
static void start(intptr_t* m) { (void)m; note('S'); }
static void process(intptr_t* m, int16_t* frames) {
    note('P');
    int n = (int)m[5];
    if (g_log.chunks < 64) {
        g_log.chunk_frames[g_log.chunks] = n;
        g_log.first_sample[g_log.chunks] = frames[0];
    }
    g_log.chunks++;
    g_log.frames_total += n;
    for (int i = 0; i < 2 * n; ++i) frames[i] = frames[i] == -32768 ? 32767 : (int16_t)-frames[i];
}
static void stop(intptr_t* m) { (void)m; note('X'); }

static intptr_t* get_module(int index) {
    if (index != 0) return 0;
    g_module[0] = (intptr_t) "inverter";
    g_module[7] = (intptr_t)&init;
    g_module[8] = (intptr_t)&start;
    g_module[9] = (intptr_t)&process;
    g_module[12] = (intptr_t)&stop;
    return g_module;
}

static intptr_t g_header[3];

EXPORT intptr_t* winampDSPGetHeader(void) {
    g_header[0] = 0x20;
    g_header[1] = (intptr_t) "test plug-ins";
    g_header[2] = (intptr_t)&get_module;
    return g_header;
}

EXPORT TestDspLog* testDspLog(void) { return &g_log; }
EXPORT void testDspReset(int init_result) {
    memset(&g_log, 0, sizeof g_log);
    g_log.init_result = init_result;
}
